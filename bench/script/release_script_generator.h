// Makes a release script of the size and kind of a real one for the sample database at
// version 6: about 9,600 statements in 1.4 MB of Windows-1251 text with CR LF, written to the
// release conventions (header, directives, release check, SET TERM stretches, one EXECUTE
// BLOCK under ";", comments with ";" inside, a data part of DELETE, INSERT and UPDATE rows).
#pragma once

#include <string>

namespace xqv::bench {

std::string GenerateReleaseScript();

// The same script as isql takes it: the EXECUTE BLOCK inside SET TERM, no RECONNECT.
std::string ForIsql(const std::string& script);

} // namespace xqv::bench
