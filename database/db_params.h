// The connection parameters every database operation takes: their check, the database string's
// parts, and the parameter buffer of an attachment.
#pragma once

#include <string>

namespace xqv {

// A copy of text without leading and trailing characters of code 32 or less.
std::string TrimBlanks(const std::string& text);

// Raises an error naming the first of the four values that is empty once blanks are trimmed,
// tested in the order of the arguments. The values themselves are used untrimmed by callers.
void CheckDbParams(const std::string& clientLibrary, const std::string& database,
                   const std::string& userName, const std::string& password);

enum class DbProtocol { Local, NamedPipe, AtSign, Tcp };

// A database string split into its server part and file path.
struct DbLocation {
    std::string server;
    std::string path;
    DbProtocol protocol = DbProtocol::Local;
};

// "C:\x.fdb" and "x.fdb": local; "\\server\C:\x.fdb": named pipe; "server@C:\x.fdb": the
// legacy network form; "host/port:C:\x.fdb": TCP/IP (the form the update engine uses).
DbLocation SplitDatabaseString(const std::string& database);
// The string an attachment is given, re-formed from the parts.
std::string FormDatabaseString(const DbLocation& location);

// Appends one item of a parameter buffer: tag, one length byte, the value. A value longer than
// 255 bytes cannot be described by the length byte and is refused with tooLongMessage.
void AppendShortItem(std::string& buffer, char tag, const std::string& value,
                     const char* tooLongMessage);

// The database parameter buffer of an attachment: version 1, the user name (blanks trimmed),
// the password, the role name only when it is not empty, and the character set "WIN1251".
std::string BuildAttachDpb(const std::string& userName, const std::string& password,
                           const std::string& roleName);

extern const char* const kUserNameTooLong;
extern const char* const kPasswordTooLong;

} // namespace xqv
