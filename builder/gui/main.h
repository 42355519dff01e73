// main.h -- the main window TFrmMain (instance FrmMain), the build state it keeps for the life
// of the process, and the application's title and error handler.
#pragma once

#include <QElapsedTimer>
#include <QMessageBox>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

#include "builder/build_command.h"
#include "builder/build_view.h"

namespace Ui {
class TFrmMain;
}
namespace orvzip {
class TOrvZip;
}

namespace tarnwick::gui {

class TShellTreeView;

inline constexpr char kApplicationTitle[] = "Tarnwick V4.6";

// Sets up the application object: its title, shown on the task bar and on every message box.
void InitializeApplication();

// The build's state, shared by the Build command and its passes between builds.
extern TBuildState BuildState;

// A message box the window is about to show: the plain box (no icon) for the handlers'
// messages, the stop icon for an error that left a handler. The caption is the application's
// title.
struct TMessageBoxRequest {
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QString Caption;
    QString Text;
};

class TFrmMain : public QWidget, public IBuildView {
    Q_OBJECT

public:
    explicit TFrmMain(QWidget* parent = nullptr);
    ~TFrmMain() override;

    // Handlers, named after their control and event; Sender is the control.
    void FormCreate(QObject* Sender);
    void Btn_BuildClick(QObject* Sender);
    void Btn_InfosClick(QObject* Sender);
    void Btn_HelpClick(QObject* Sender);
    void Btn_QuitClick(QObject* Sender);

    orvzip::TOrvZip& OrvZip1() const { return *orvZip1_; }
    TShellTreeView* STView_FolderEXE() const;
    bool Building() const { return building_; }

    // Replaces the modal message box: the hook gets what the box would show and stands for the
    // user closing it. An empty hook restores the real box.
    using TMessageBoxHook = std::function<void(const TMessageBoxRequest&)>;
    void SetMessageBoxHook(TMessageBoxHook hook) { messageBoxHook_ = std::move(hook); }

    // What the Build command reads and drives. Texts go to the build as the local 8-bit bytes
    // that file names have; messages come back as UTF-8.
    std::string ServerAddressText() override;
    std::string UpdaterNameText() override;
    bool ModifyHostChecked() override;
    bool CriticalChecked() override;
    std::string SelectedFolderPath() override;
    void SetFolderTreeEnabled(bool enabled) override;
    std::int32_t ProgressMax() override;
    void SetProgressMax(std::int32_t maximum) override;
    std::int32_t ProgressPosition() override;
    void SetProgressPosition(std::int32_t position) override;
    void ShowMessage(const std::string& text) override;
    void KeepAlive(const std::string& currentFile) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class TInputBlocker;
    class TBuildScope;

    // The handler's edge: an exception that leaves the handler is shown by the application's
    // error handler and the window goes on.
    template <typename Handler>
    void guarded(Handler&& handler);
    void showException(const QString& message);
    void showMessageBox(QMessageBox::Icon icon, const QString& text);
    void pumpEvents();

    std::unique_ptr<Ui::TFrmMain> ui_;
    std::unique_ptr<orvzip::TOrvZip> orvZip1_;
    std::unique_ptr<TInputBlocker> inputBlocker_;
    TMessageBoxHook messageBoxHook_;
    bool building_ = false;
    QElapsedTimer sincePump_;
};

// The program's main window, once the program has created it.
extern TFrmMain* FrmMain;

}  // namespace tarnwick::gui
