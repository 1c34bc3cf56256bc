// Statements that hand values back (queries, procedures with output parameters, RETURNING):
// the server refuses them without a place for the values, so they are prepared with one.
#pragma once

#include <memory>
#include <string>
#include "fb_client.h"

namespace xqv::script {

// True when the status vector holds the error code anywhere, not only first.
bool StatusHolds(const ISC_STATUS* status, ISC_STATUS code);

// Prepares and executes the statement with an output descriptor; a query's rows are all
// fetched (a selectable procedure does its work row by row) and dropped. Answers the number of
// rows fetched (0 for a statement that is no query). Raises fb::ClientError on failure.
size_t ExecuteWithOutput(const std::shared_ptr<const fb::ClientLibrary>& client,
                         isc_db_handle* database, isc_tr_handle* transaction,
                         const std::string& statement, unsigned short dialect);

} // namespace xqv::script
