// The migration script this executable carries, checked before a run changes anything.
#pragma once

#include <string>
#include <string_view>

namespace xqv {

// What is wrong with a release script's bytes, as the end of a sentence that begins "the
// script ..."; empty when the script can be run. A script is refused when it holds no statement,
// when it is not single-byte Windows-1251 text (a zero byte, a byte that code page leaves
// undefined, a UTF-8 byte-order mark, or text that reads as UTF-8 throughout), or when it ends
// inside a statement, a string or a comment.
std::string ReleaseScriptFault(std::string_view text);

// Loads the embedded script and throws xqv::Error naming its fault, if any. A broken script
// found only at the script stage would cost the users their connections, the database a
// shutdown and a restore from the backup, and a script of another code page would write garbled
// text into the database.
void CheckReleaseScript();

} // namespace xqv
