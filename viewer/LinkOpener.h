#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QUrl;

namespace varnetto {

// Result codes of opening a link: above 32 the target was handed to a
// program that opens it; the others name the failure (hyperlinkErrorText).
inline constexpr int kLinkOpened = 42;
inline constexpr int kLinkFileNotFound = 2;
inline constexpr int kLinkNoAssociation = 31;

// Opens a link's target with whatever the user's desktop opens it with.
class LinkOpener {
  public:
    virtual ~LinkOpener() = default;
    virtual int open(const QString& target) = 0;
};

// The desktop's handler first, then xdg-open with the target.
class DesktopLinkOpener final : public LinkOpener {
  public:
    struct Platform {
        std::function<bool(const QUrl&)> openUrl;
        // The program's full path, or "" when it is not installed.
        std::function<QString(const QString& name)> findProgram;
        // True when the program started.
        std::function<bool(const QString& program, const QStringList& arguments)> start;
    };

    DesktopLinkOpener();
    explicit DesktopLinkOpener(Platform platform) : platform_(std::move(platform)) {}

    int open(const QString& target) override;

  private:
    Platform platform_;
};

}  // namespace varnetto
