#include "db_connection.h"

#include "db_params.h"

namespace xqv {

namespace {

struct ConnectionLibrarySlot {
    std::string fileName = fb::PlatformClientLibraryName();
    std::shared_ptr<const fb::ClientLibrary> loaded;
};

ConnectionLibrarySlot& Slot() {
    static ConnectionLibrarySlot slot;
    return slot;
}

} // namespace

void UseConnectionClientLibrary(const std::string& fileName) {
    // Attachments still open keep their own reference; the library goes when they do.
    Slot().loaded.reset();
    Slot().fileName = fileName;
}

std::shared_ptr<const fb::ClientLibrary> ConnectionClientLibrary() {
    if (!Slot().loaded) Slot().loaded = fb::ClientLibrary::Load(Slot().fileName);
    return Slot().loaded;
}

std::string AttachErrorText(ISC_STATUS code, const std::vector<std::string>& lines) {
    std::string text =
        "КОД ОШИБКИ ISC:" + std::to_string(code) + "\r\n\r\nСООБЩЕНИЕ ОШИБКИ ISC:\r\n";
    std::string previous;
    bool first = true;
    for (const std::string& line : lines) {
        const std::string trimmed = TrimBlanks(line);
        if (!first && trimmed == previous) continue;
        text += trimmed + "\r\n";
        previous = trimmed;
        first = false;
    }
    return text;
}

TDBConnection::TDBConnection(const std::string& database, const std::string& userName,
                             const std::string& password, const std::string& roleName) {
    connection_.database = database;
    connection_.userName = userName;
    connection_.password = password;
    connection_.roleName = roleName;
}

TDBConnection::~TDBConnection() {
    try {
        CloseConnection();
    } catch (const std::exception&) {
        // The attachment's owner tries once more as it goes; a destructor reports nothing.
    }
}

void TDBConnection::OpenConnection() {
    if (Connected()) return;
    const std::string dpb =
        BuildAttachDpb(connection_.userName, connection_.password, connection_.roleName);
    const std::string database = FormDatabaseString(SplitDatabaseString(connection_.database));
    auto client = ConnectionClientLibrary();
    auto attachment = std::make_unique<fb::Attachment>(client);
    fb::StatusVector status;
    if (const ISC_STATUS code = attachment->TryAttach(database, dpb, status))
        throw fb::ClientError(AttachErrorText(code, fb::InterpretStatus(*client, status)),
                              client->Api().isc_sqlcode(status), status.FirstCode());
    attachment_ = std::move(attachment);
}

void TDBConnection::CloseConnection() {
    if (!attachment_) return;
    attachment_->Detach();
    attachment_.reset();
}

isc_db_handle* TDBConnection::DbHandle() {
    return attachment_ ? attachment_->Handle() : &noHandle_;
}

} // namespace xqv
