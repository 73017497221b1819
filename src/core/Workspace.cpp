#include "core/Workspace.h"

#include "core/D_Util.h"

void NoteNamesRead(TTreeInfo& slot, std::int32_t code, const std::string& what) {
    if (code != 0 && slot.NamesReadFailure.empty())
        slot.NamesReadFailure = ErrorCodeText(code, what);
}

Workspace::Workspace(std::unique_ptr<DirClient> client) : client_(std::move(client)) {}

Workspace::~Workspace() = default;
