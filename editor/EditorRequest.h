#pragma once

#include "processing/PreviewCache.h"
#include "schemes/Scheme.h"
#include "schemes/SchemeStore.h"
#include "viewer/ViewerRequest.h"

#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace varnetto {

enum class EditorMode : int { NewScheme = 0, EditScheme = 1, SingleImage = 2 };

// What the scheme editor opens with.
struct EditorRequest {
    EditorMode mode = EditorMode::EditScheme;
    std::string imagePath;  // the picture shown and processed
    AppFolders appFolder;
    // EditScheme: changed in place when the user saves; NewScheme: filled
    // when the user saves, for the caller to adopt; SingleImage: the start
    // values, or none.
    Scheme* scheme = nullptr;
    // The stored schemes "方案继承自" offers to copy settings from, or none.
    const SchemeStore* store = nullptr;
    // Whether a scheme of that name exists already (the manager's list);
    // unset when the caller keeps no list to check against.
    std::function<bool(const std::string& name)> nameExists;
    // Opens the full-screen viewer ("全屏预览"); the caller decides how, so
    // tests can watch it.
    std::function<int(QWidget* owner, const ViewerRequest& request)> openViewer;
    // The pictures the opener's previews decoded already (the manager shows
    // the same picture); none: the editor keeps its own.
    std::shared_ptr<PreviewCache> previewCache;
};

}  // namespace varnetto
