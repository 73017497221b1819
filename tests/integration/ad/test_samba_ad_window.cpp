// The window on a live Samba AD domain controller.
#include "LiveWindowTest.h"
#include "SambaDcServer.h"

namespace {

using SambaAdWindow = LiveWindowTest<SambaDcServer>;

TEST_F(SambaAdWindow, ALiveTreeAndTheSchemaFileSavedFromItHaveNoDifference) {
    checkLiveTreeAndSavedFileHaveNoDifference();
}

}  // namespace
