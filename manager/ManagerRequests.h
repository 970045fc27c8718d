#pragma once

#include "editor/EditorRequest.h"
#include "schemes/Scheme.h"
#include "viewer/ViewerRequest.h"

#include <functional>
#include <optional>
#include <string>

namespace varnetto {

// What the scheme manager opens with: the store file it edits a copy of and
// the picture its previews show.
struct ManagerRequest {
    AppFolders appFolder;
    std::string imagePath;
    // How the manager opens the editor ("增加", "编辑") and the full-screen
    // viewer ("全屏预览"); the caller decides, so tests can stand in.
    std::function<int(QWidget* owner, const EditorRequest& request)> openEditor;
    std::function<int(QWidget* owner, const ViewerRequest& request)> openViewer;
};

// The scheme the scheme viewer lists, or none (an empty list).
struct SchemeViewerRequest {
    std::optional<Scheme> scheme;
};

}  // namespace varnetto
