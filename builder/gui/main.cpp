// main.cpp -- the main window: its form, the small button handlers, the Build button's handler
// driving the Build command, and the window's side of a build that runs on the GUI thread.
#include "builder/gui/main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

#include "builder/gui/shell_tree_view.h"
#include "ui_main.h"
#include "zip/OrvZip.h"

// Resources of a static library must be registered by name, outside any namespace.
static void initializeGuiResources() { Q_INIT_RESOURCE(tarnwick_gui); }

namespace tarnwick::gui {

TBuildState BuildState;
TFrmMain* FrmMain = nullptr;

namespace {

// While a build runs the event loop is pumped at most this often, so that the window paints
// without the pumping costing the build much.
constexpr qint64 kPumpIntervalMs = 25;

// Words of the Infos box, with ten spaces each side.
const char kCreditsText[] = "          Written by the Tarnwick team.          ";
const char kHelpText[] = "                         TODO                         ";

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::NonClientAreaMouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::NativeGesture:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

}  // namespace

void InitializeApplication()
{
    QGuiApplication::setApplicationName(QStringLiteral("tarnwick"));
    QGuiApplication::setApplicationDisplayName(QString::fromUtf8(kApplicationTitle));
}

// Swallows the user's input while a build runs. Deferring it (as processing events without user
// input does) would replay every click and key after the build; the window takes none instead.
class TFrmMain::TInputBlocker : public QObject {
public:
    bool Active = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (Active && isUserInput(event->type())) {
            event->accept();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

// A build from its start to its end, also when it ends by an error.
class TFrmMain::TBuildScope {
public:
    explicit TBuildScope(TFrmMain& form) : form_(form)
    {
        form_.building_ = true;
        form_.inputBlocker_->Active = true;
        qApp->installEventFilter(form_.inputBlocker_.get());
        form_.sincePump_.invalidate();
    }
    ~TBuildScope()
    {
        qApp->removeEventFilter(form_.inputBlocker_.get());
        form_.inputBlocker_->Active = false;
        form_.building_ = false;
    }
    TBuildScope(const TBuildScope&) = delete;
    TBuildScope& operator=(const TBuildScope&) = delete;

private:
    TFrmMain& form_;
};

TFrmMain::TFrmMain(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::TFrmMain>()), inputBlocker_(std::make_unique<TInputBlocker>())
{
    initializeGuiResources();
    ui_->setupUi(this);

    // A fixed-size dialog frame with the system menu and the close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(502, 531);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }

    orvZip1_ = std::make_unique<orvzip::TOrvZip>(nullptr);
    orvZip1_->SetName("OrvZip1");
    ConfigureOrvZip1(*orvZip1_);

    connect(ui_->Btn_Build, &QPushButton::clicked, this, [this] { guarded([this] { Btn_BuildClick(ui_->Btn_Build); }); });
    connect(ui_->Btn_Infos, &QPushButton::clicked, this, [this] { guarded([this] { Btn_InfosClick(ui_->Btn_Infos); }); });
    connect(ui_->Btn_Help, &QPushButton::clicked, this, [this] { guarded([this] { Btn_HelpClick(ui_->Btn_Help); }); });
    connect(ui_->Btn_Quit, &QPushButton::clicked, this, [this] { guarded([this] { Btn_QuitClick(ui_->Btn_Quit); }); });

    guarded([this] { FormCreate(this); });
}

TFrmMain::~TFrmMain()
{
    if (FrmMain == this)
        FrmMain = nullptr;
}

TShellTreeView* TFrmMain::STView_FolderEXE() const { return ui_->STView_FolderEXE; }

void TFrmMain::FormCreate(QObject* /*Sender*/) { BuildState.LineIndex = 1; }

void TFrmMain::Btn_BuildClick(QObject* /*Sender*/)
{
    if (building_)
        return;
    TBuildScope scope(*this);
    RunBuildCommand(*this, *orvZip1_, BuildState);
}

void TFrmMain::Btn_InfosClick(QObject* /*Sender*/) { showMessageBox(QMessageBox::NoIcon, QString::fromUtf8(kCreditsText)); }

void TFrmMain::Btn_HelpClick(QObject* /*Sender*/) { showMessageBox(QMessageBox::NoIcon, QString::fromUtf8(kHelpText)); }

void TFrmMain::Btn_QuitClick(QObject* /*Sender*/) { close(); }

template <typename Handler>
void TFrmMain::guarded(Handler&& handler)
{
    // Nothing may leave a slot that a signal called; the error is shown here instead.
    try {
        handler();
    } catch (const std::exception& e) {
        showException(QString::fromUtf8(e.what()));
    } catch (...) {
        showException(tr("Unknown error."));
    }
}

void TFrmMain::showException(const QString& message) { showMessageBox(QMessageBox::Critical, message); }

void TFrmMain::showMessageBox(QMessageBox::Icon icon, const QString& text)
{
    TMessageBoxRequest request{icon, QGuiApplication::applicationDisplayName(), text};
    // The box is modal and takes its own input; the window behind it takes none meanwhile.
    const bool blocking = inputBlocker_->Active;
    inputBlocker_->Active = false;
    if (messageBoxHook_) {
        messageBoxHook_(request);
    } else {
        QMessageBox box(request.Icon, request.Caption, request.Text, QMessageBox::Ok, this);
        box.exec();
    }
    inputBlocker_->Active = blocking;
}

void TFrmMain::closeEvent(QCloseEvent* event)
{
    // No close while a build runs; the build's closing message box comes first.
    if (building_) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TFrmMain::pumpEvents()
{
    if (sincePump_.isValid() && sincePump_.elapsed() < kPumpIntervalMs)
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    sincePump_.start();
}

std::string TFrmMain::ServerAddressText() { return ui_->LbL_IpServer->text().toLocal8Bit().toStdString(); }

std::string TFrmMain::UpdaterNameText() { return ui_->LbL_NameEXE->text().toLocal8Bit().toStdString(); }

bool TFrmMain::ModifyHostChecked() { return ui_->ChkB_ModHost->isChecked(); }

bool TFrmMain::CriticalChecked() { return ui_->ChkB_Crtical->isChecked(); }

std::string TFrmMain::SelectedFolderPath() { return ui_->STView_FolderEXE->SelectedPath(); }

void TFrmMain::SetFolderTreeEnabled(bool enabled) { ui_->STView_FolderEXE->setEnabled(enabled); }

std::int32_t TFrmMain::ProgressMax() { return ui_->PrgBar_Build->maximum(); }

void TFrmMain::SetProgressMax(std::int32_t maximum)
{
    // The position is kept within the new range, as the bar on Windows does; Qt would reset it.
    QProgressBar* bar = ui_->PrgBar_Build;
    const int minimum = std::min(bar->minimum(), maximum);
    const int position = std::clamp(ProgressPosition(), minimum, maximum);
    bar->setRange(minimum, maximum);
    bar->setValue(position);
}

std::int32_t TFrmMain::ProgressPosition()
{
    const QProgressBar* bar = ui_->PrgBar_Build;
    return std::max(bar->value(), bar->minimum());  // a reset bar reads minimum - 1
}

void TFrmMain::SetProgressPosition(std::int32_t position)
{
    QProgressBar* bar = ui_->PrgBar_Build;
    bar->setValue(std::clamp(position, bar->minimum(), std::max(bar->minimum(), bar->maximum())));
    if (building_)
        pumpEvents();
}

void TFrmMain::ShowMessage(const std::string& text) { showMessageBox(QMessageBox::NoIcon, QString::fromUtf8(text)); }

void TFrmMain::KeepAlive(const std::string& /*currentFile*/)
{
    if (building_)
        pumpEvents();
}

}  // namespace tarnwick::gui
