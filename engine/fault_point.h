// Places in the update run where a test build can be told to fail, so that tests can prove the
// run's rollback at every one of them. In the product these compile to nothing: only a test
// build whose engine is compiled with XQV_FAULT_POINTS has them (see fault_point.cpp).
#pragma once

#include <string>

#ifdef XQV_FAULT_POINTS

namespace xqv {

// Raises xqv::Error when the test asked for a failure at point (once per point and start), or,
// when it asked for a stop there, waits until the test lets the run go on or ends the process.
void FaultPoint(const char* point);
// The same for a step that must go on whatever happens: the failure is recorded in errorText.
void FaultPointRecorded(const char* point, std::string& errorText);
// The script with a statement that fails inserted in its middle, when the test asked for it.
std::string FaultScript(const std::string& script);

} // namespace xqv

#define XQV_FAULT_POINT(point) ::xqv::FaultPoint(point)
#define XQV_FAULT_POINT_RECORDED(point, errorText) ::xqv::FaultPointRecorded(point, errorText)
#define XQV_FAULT_SCRIPT(script) ::xqv::FaultScript(script)

#else

#define XQV_FAULT_POINT(point) ((void)0)
#define XQV_FAULT_POINT_RECORDED(point, errorText) ((void)0)
#define XQV_FAULT_SCRIPT(script) (script)

#endif
