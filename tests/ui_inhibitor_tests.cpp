// The window program's lock against sleep and shutdown, through QtDBus, against a stand-in
// logind on a private bus.
#include "tests/inhibitor_contract.h"
#include "ui/qt_dbus_inhibitor.h"

namespace korva::testing {
namespace {

INSTANTIATE_TYPED_TEST_SUITE_P(QtDBus, InhibitorContract, ui::QtDBusInhibitor);

}  // namespace
}  // namespace korva::testing
