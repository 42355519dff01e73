// gui_test_util.h -- helpers of the window's tests: the suite's own home folder, the working
// directory, picking a folder in the tree, and answering the window's message boxes.
#pragma once

#include <QMessageBox>
#include <QString>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "builder/gui/main.h"

// Failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace tarnwick::gui {
class TShellTreeView;
}

namespace tarnwick::gui::test {

// The home folder that the suite's main sets up before the application starts: HOME points
// at it and its Desktop holds the folders Client (with data and system), Tools and .hidden,
// and the file notes.txt.
const std::string& FakeHome();
std::string FakeDesktop();

// Whether the CRC-32 table was already filled when the suite's main began.
bool CrcTableFilledAtStart();

// Makes folder the working directory until the guard dies.
class CurrentDirGuard {
public:
    explicit CurrentDirGuard(const std::string& folder);
    ~CurrentDirGuard();
    CurrentDirGuard(const CurrentDirGuard&) = delete;
    CurrentDirGuard& operator=(const CurrentDirGuard&) = delete;

private:
    std::filesystem::path previous_;
};

// Expands the tree from its File System item down to path and selects that folder's item.
// Returns false when some part of the path is not in the tree.
bool SelectFolder(TShellTreeView& tree, const std::string& path);

// Answers the window's message boxes in place of the user: records each one and calls
// onMessage, if set, while the box would be open.
class MessageRecorder {
public:
    explicit MessageRecorder(TFrmMain& form);
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<TMessageBoxRequest> Messages;
    std::function<void(const TMessageBoxRequest&)> OnMessage;

    std::vector<QString> Texts() const;

private:
    TFrmMain& form_;
};

// Runs inspect on the next modal box that opens and then closes it with its default button;
// returns at once. Gives up after a few seconds, so that a missing box fails the test instead
// of hanging it.
void AnswerNextModalBox(std::function<void(QMessageBox&)> inspect);

// Lets the event loop run until nothing is pending.
void Flush();

}  // namespace tarnwick::gui::test
