// The window on a live 389 Directory Server.
#include "DirsrvServer.h"
#include "LiveWindowTest.h"

namespace {

using DirsrvWindow = LiveWindowTest<DirsrvServer>;

TEST_F(DirsrvWindow, ALiveTreeAndTheSchemaFileSavedFromItHaveNoDifference) {
    checkLiveTreeAndSavedFileHaveNoDifference();
}

}  // namespace
