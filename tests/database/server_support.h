// What the server tests do to the test server without the code under test: create databases,
// attach as some user, run a statement, read one number back.
#pragma once

#include <memory>
#include <string>
#include "fb_client.h"

namespace dbtest {

std::shared_ptr<const xqv::fb::ClientLibrary> Client();
// "localhost/<port>:" + path, the form the product uses.
std::string DatabaseString(const std::string& path);
// A new database in the tests' folder; returns its database string.
std::string CreateTestDatabase(const std::string& fileName);
std::unique_ptr<xqv::fb::Attachment> AttachAs(const std::string& database, const std::string& user,
                                              const std::string& password);
// Runs one statement in its own transaction and commits.
void Execute(const std::string& database, const std::string& sql);
// The first column of the first row of a query whose result is an integer.
long QueryNumber(const std::string& database, const std::string& sql);

} // namespace dbtest
