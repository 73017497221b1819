#include "Workspace.h"

Workspace::Workspace(std::unique_ptr<DirClient> client) : client_(std::move(client)) {}

Workspace::~Workspace() = default;
