#include "fb_client.h"

#include "module_loader.h"

namespace xqv::fb {

std::shared_ptr<const ClientLibrary> ClientLibrary::Load(const std::string& fileName) {
    std::string whyNot;
    void* module = OpenModule(fileName, &whyNot);
    if (!module)
        throw Error("Невозможно загрузить клиентскую библиотеку \"" + fileName + "\"" +
                    (whyNot.empty() ? "!" : ": " + whyNot));
    std::shared_ptr<ClientLibrary> client(new ClientLibrary(module, fileName));
    const char* missing = nullptr;
#define XQV_FB_CLIENT_RESOLVE(name)                                                                \
    client->api_.name = reinterpret_cast<decltype(&::name)>(ModuleSymbol(module, #name));          \
    if (!client->api_.name && !missing) missing = #name;
    XQV_FB_CLIENT_FUNCTIONS(XQV_FB_CLIENT_RESOLVE)
#undef XQV_FB_CLIENT_RESOLVE
    if (missing)
        throw Error("В клиентской библиотеке \"" + fileName + "\" не найдена функция \"" + missing +
                    "\"!");
    return client;
}

ClientLibrary::~ClientLibrary() {
    CloseModule(module_);
}

std::shared_ptr<const ClientLibrary> SharedClientLibrary(const std::string& fileName) {
    static std::shared_ptr<const ClientLibrary> loaded;
    if (!loaded) loaded = ClientLibrary::Load(fileName);
    return loaded;
}

std::vector<std::string> InterpretStatus(const ClientLibrary& client, const ISC_STATUS* status) {
    std::vector<std::string> lines;
    char buffer[1024];
    const ISC_STATUS* cursor = status;
    while (client.Api().fb_interpret(buffer, sizeof buffer, &cursor) > 0)
        lines.emplace_back(buffer);
    return lines;
}

std::string JoinStatusLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty() && text.back() != '\n') text += "\r\n";
        text += line;
    }
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

ClientError StatusError(const ClientLibrary& client, const ISC_STATUS* status) {
    const ISC_STATUS firstCode = status[0] == 1 ? status[1] : 0;
    return ClientError(JoinStatusLines(InterpretStatus(client, status)),
                       client.Api().isc_sqlcode(status), firstCode);
}

void Check(const ClientLibrary& client, const StatusVector& status) {
    if (status.Failed()) throw StatusError(client, status);
}

// Attachment

Attachment::Attachment(std::shared_ptr<const ClientLibrary> client) : client_(std::move(client)) {}

Attachment::~Attachment() {
    if (!Attached()) return;
    StatusVector status;
    client_->Api().isc_detach_database(status, &handle_);
}

ISC_STATUS Attachment::TryAttach(const std::string& database, const std::string& dpb,
                                 StatusVector& status) {
    return client_->Api().isc_attach_database(status, 0, database.c_str(), &handle_,
                                              static_cast<short>(dpb.size()), dpb.data());
}

void Attachment::Attach(const std::string& database, const std::string& dpb) {
    StatusVector status;
    if (TryAttach(database, dpb, status)) throw StatusError(*client_, status);
}

void Attachment::Create(const std::string& database, const std::string& dpb) {
    StatusVector status;
    if (client_->Api().isc_create_database(status, 0, database.c_str(), &handle_,
                                           static_cast<short>(dpb.size()), dpb.data(), 0))
        throw StatusError(*client_, status);
}

void Attachment::Detach() {
    StatusVector status;
    if (client_->Api().isc_detach_database(status, &handle_)) throw StatusError(*client_, status);
    handle_ = 0;
}

void Attachment::Drop() {
    StatusVector status;
    if (client_->Api().isc_drop_database(status, &handle_)) throw StatusError(*client_, status);
    handle_ = 0;
}

// ServiceAttachment

ServiceAttachment::ServiceAttachment(std::shared_ptr<const ClientLibrary> client)
    : client_(std::move(client)) {}

ServiceAttachment::~ServiceAttachment() {
    if (!Attached()) return;
    StatusVector status;
    client_->Api().isc_service_detach(status, &handle_);
}

void ServiceAttachment::Attach(const std::string& serviceName, const std::string& spb) {
    StatusVector status;
    if (client_->Api().isc_service_attach(status, static_cast<unsigned short>(serviceName.size()),
                                          serviceName.c_str(), &handle_,
                                          static_cast<unsigned short>(spb.size()), spb.data()))
        throw StatusError(*client_, status);
}

void ServiceAttachment::Start(const std::string& request) {
    StatusVector status;
    if (client_->Api().isc_service_start(
            status, &handle_, nullptr, static_cast<unsigned short>(request.size()), request.data()))
        throw StatusError(*client_, status);
}

void ServiceAttachment::Detach() {
    StatusVector status;
    if (client_->Api().isc_service_detach(status, &handle_)) throw StatusError(*client_, status);
    handle_ = 0;
}

// Transaction

Transaction::Transaction(std::shared_ptr<const ClientLibrary> client)
    : client_(std::move(client)) {}

Transaction::~Transaction() {
    if (!Active()) return;
    StatusVector status;
    client_->Api().isc_rollback_transaction(status, &handle_);
}

void Transaction::Start(isc_db_handle* database, const std::string& tpb) {
    TransactionBlock block{database, static_cast<long>(tpb.size()),
                           tpb.empty() ? nullptr : tpb.data()};
    StatusVector status;
    if (client_->Api().isc_start_multiple(status, &handle_, 1, &block))
        throw StatusError(*client_, status);
}

void Transaction::Commit() {
    StatusVector status;
    if (client_->Api().isc_commit_transaction(status, &handle_))
        throw StatusError(*client_, status);
    handle_ = 0;
}

void Transaction::CommitRetaining() {
    StatusVector status;
    if (client_->Api().isc_commit_retaining(status, &handle_)) throw StatusError(*client_, status);
}

void Transaction::Rollback() {
    StatusVector status;
    if (client_->Api().isc_rollback_transaction(status, &handle_))
        throw StatusError(*client_, status);
    handle_ = 0;
}

void Transaction::RollbackRetaining() {
    StatusVector status;
    if (client_->Api().isc_rollback_retaining(status, &handle_))
        throw StatusError(*client_, status);
}

// Statement

Statement::Statement(std::shared_ptr<const ClientLibrary> client, isc_db_handle* database)
    : client_(std::move(client)) {
    StatusVector status;
    if (client_->Api().isc_dsql_allocate_statement(status, database, &handle_))
        throw StatusError(*client_, status);
}

Statement::~Statement() {
    if (!handle_) return;
    StatusVector status;
    client_->Api().isc_dsql_free_statement(status, &handle_, DSQL_drop);
}

} // namespace xqv::fb
