// terminal_view.cpp -- messages and the progress bar of tarnwick-build.
#include "cli/terminal_view.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "builder/build_paths.h"

namespace tarnwick::cli {
namespace {

int terminalColumns()
{
    winsize ws{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0)
        return ws.ws_col;
    return 80;
}

// Cuts text to at most width bytes without splitting a UTF-8 sequence.
std::string fitTo(std::string text, std::size_t width)
{
    if (text.size() <= width)
        return text;
    std::size_t cut = width;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    text.resize(cut);
    return text;
}

}  // namespace

TTerminalView::TTerminalView(TBuildSettings settings, bool showProgress)
    : settings_(std::move(settings)), showProgress_(showProgress)
{
}

void TTerminalView::SetProgressMax(std::int32_t maximum)
{
    max_ = std::max<std::int32_t>(maximum, 0);
    position_ = std::min(position_, max_);
    packing_ = true;
    draw(true);
}

void TTerminalView::SetProgressPosition(std::int32_t position)
{
    position_ = std::clamp<std::int32_t>(position, 0, max_);
    draw(position_ == max_);
}

void TTerminalView::KeepAlive(const std::string& currentFile)
{
    current_ = currentFile;
    draw(false);
}

void TTerminalView::ShowMessage(const std::string& text)
{
    // The closing message ends the build: the bar is taken off and not drawn again.
    packing_ = false;
    ClearProgress();
    std::fprintf(stdout, "%s\n", Printable(text).c_str());
    std::fflush(stdout);
}

void TTerminalView::ClearProgress()
{
    if (!drawn_)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    drawn_ = false;
}

void TTerminalView::draw(bool now)
{
    if (!showProgress_ || !packing_)
        return;
    // A redraw per file would flood a slow terminal on a tree of many small files.
    const auto t = std::chrono::steady_clock::now();
    if (!now && drawn_ && t - lastDraw_ < std::chrono::milliseconds(50))
        return;
    lastDraw_ = t;

    constexpr int kBarWidth = 30;
    const int filled = max_ > 0 ? static_cast<int>(static_cast<std::int64_t>(position_) * kBarWidth / max_) : 0;
    std::string line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') + "] " +
                       std::to_string(position_) + "/" + std::to_string(max_);
    const std::string file = PathBelow(current_, settings_.Folder);
    if (!file.empty())
        line += " " + Printable(file);
    line = fitTo(line, static_cast<std::size_t>(std::max(terminalColumns() - 1, 10)));
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

}  // namespace tarnwick::cli
