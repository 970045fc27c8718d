#pragma once

#include "uikit/UserDialogs.h"

#include <iostream>
#include <optional>
#include <vector>

namespace varnetto::testing {

// For the bench and screenshot tools: messages go to stderr, questions are
// answered No, pickers choose nothing, problem lists are not shown.
class QuietDialogs : public UserDialogs {
  public:
    void message(QWidget*, const QString& text, MessageKind) override {
        std::cerr << text.toStdString() << "\n";
    }
    bool ask(QWidget*, const QString& text, MessageKind) override {
        std::cerr << text.toStdString() << " (no)\n";
        return false;
    }
    QString chooseFolder(QWidget*, const QString&) override { return {}; }
    QString chooseOpenFile(QWidget*, const QString&, const QString&) override { return {}; }
    QString chooseSaveFile(QWidget*, const QString&, const QString&) override { return {}; }
    bool openFolder(const QString&) override { return false; }
    void problemList(QWidget*, const QString& summary, const std::vector<ProblemEntry>&) override {
        std::cerr << summary.toStdString() << "\n";
    }
    std::optional<QFont> chooseFont(QWidget*, const QFont&) override { return std::nullopt; }
    std::optional<QColor> chooseColor(QWidget*, const QColor&) override { return std::nullopt; }
};

}  // namespace varnetto::testing
