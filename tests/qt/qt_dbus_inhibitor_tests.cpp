// The window program's lock against sleep and shutdown, through QtDBus, against a stand-in
// logind on a private bus.
#include "qt/qt_dbus_inhibitor.h"

#include "tests/shared/inhibitor_contract.h"

namespace korva::testing {
namespace {

INSTANTIATE_TYPED_TEST_SUITE_P(QtDBus, InhibitorContract, qt::QtDBusInhibitor);

}  // namespace
}  // namespace korva::testing
