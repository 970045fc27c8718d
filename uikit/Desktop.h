#pragma once

#include <QString>

namespace varnetto {

// What the program asks of the desktop: showing a folder in the user's file
// manager. Tests put a recording implementation in its place.
class Desktop {
  public:
    virtual ~Desktop() = default;
    // False when the desktop could not open it.
    virtual bool openFolder(const QString& folder) = 0;
};

// The desktop's file manager, through Qt's desktop services.
class QtDesktop final : public Desktop {
  public:
    bool openFolder(const QString& folder) override;
};

}  // namespace varnetto
