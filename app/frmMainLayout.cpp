// The main window's construction: controls, geometry, menus and tab order.
#include "app/frmMain.h"

#include "app/TaskListView.h"
#include "editor/OuterPlacement.h"
#include "editor/TaskEditorLauncher.h"
#include "settings/QtWindowGeometry.h"
#include "settings/TwipScale.h"

#include <QComboBox>
#include <QCompleter>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

// The images are compiled into this library; a static library's resources
// must be registered by hand.
static void InitKestrunResources() { Q_INIT_RESOURCE(kestrun); }

namespace kestrun {

namespace {

// The client area, in twips.
constexpr int kClientWidth = 6615;
constexpr int kClientHeight = 6345;
constexpr int kButtonWidth = 1095;
constexpr int kButtonHeight = 375;

}  // namespace

frmMain::frmMain(MainWindowContext context, QWidget* parent)
    : QMainWindow(parent), context_(std::move(context))
{
    InitKestrunResources();
    // The About box names the typing route, which makes the platform's services when not made yet.
    help_.SetTypingRoute([this] { return context_.runServices ? context_.runServices().typingRoute : std::string(); });
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Kestrun by Quillon Works Software"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    QIcon windowIcon;
    for (const char* size : {"16", "32", "48"})
        windowIcon.addFile(QStringLiteral(":/kestrun/kestrun-%1.png").arg(QLatin1String(size)));
    setWindowIcon(windowIcon);
    trayImage = QIcon(QStringLiteral(":/kestrun/kestrun-16.png"));
    const TwipScale twips = Scale();
    resize(twips.X(kClientWidth), twips.X(kClientHeight));
    CreateTrayMenu();
}

void frmMain::EnsureControls()
{
    if (cboPrograms)
        return;
    CreateControls();
    CreateMenus();
    ConnectControls();
    ShowLoadedState();
    cboPrograms->resize(Scale().X(3495), cboPrograms->sizeHint().height());
    // The whole window is fixed: client area plus menu bar.
    setFixedSize(centralWidget()->width(), centralWidget()->height() + menuBar()->sizeHint().height());
    PlaceByOuterSize();
}

void frmMain::PlaceByOuterSize()
{
    // The load handler placed the window before it had its menu bar, and
    // before the window manager could say which frame it adds.
    RestoreOuterPosition(*this, context_.settings);
}

frmMain::~frmMain() = default;

double frmMain::TwipsPerPixelX() const
{
    return QtWindowGeometry(const_cast<frmMain&>(*this)).TwipsPerPixelX();
}

// The window's design is converted with the horizontal ratio on both axes.
TwipScale frmMain::Scale() const
{
    const double twipsPerPixel = TwipsPerPixelX();
    return {twipsPerPixel, twipsPerPixel};
}

void frmMain::CreateControls()
{
    const TwipScale twips = Scale();
    auto* client = new QWidget(this);
    client->setFixedSize(twips.X(kClientWidth), twips.X(kClientHeight));
    setCentralWidget(client);

    const auto place = [&twips](QWidget* widget, int left, int top, int width, int height) {
        widget->setGeometry(twips.X(left), twips.X(top), twips.X(width), twips.X(height));
    };
    const auto button = [&](QWidget* container, const char* caption, int left, int top) {
        auto* made = new QPushButton(QString::fromUtf8(caption), container);
        made->setAutoDefault(true);  // Enter on a focused button presses that button
        place(made, left, top, kButtonWidth, kButtonHeight);
        return made;
    };

    fraPrograms = new QGroupBox(QStringLiteral("Programs:"), client);
    place(fraPrograms, 120, 120, 3975, 1455);
    cboPrograms = new QComboBox(fraPrograms);
    cboPrograms->setEditable(true);
    cboPrograms->setInsertPolicy(QComboBox::NoInsert);
    // Qt selects the entry that typed text names once the field loses the
    // keyboard (or its completion is taken): a click on Delete would then
    // act on a program the user never picked. Only a pick from the list, or
    // the application itself, selects an entry.
    QObject::disconnect(cboPrograms->lineEdit(), &QLineEdit::editingFinished, cboPrograms, nullptr);
    if (cboPrograms->completer())
        QObject::disconnect(cboPrograms->completer(), nullptr, cboPrograms, nullptr);
    cboPrograms->move(twips.X(240), twips.X(360));  // its height follows its font
    cmdAddProgram = button(fraPrograms, "New...", 240, 840);
    cmdDeleteProgram = button(fraPrograms, "Delete", 1440, 840);
    cmdEditProgram = button(fraPrograms, "Edit...", 2640, 840);

    // The application's icon above the bold caption.
    cmdLaunch = new QPushButton(client);
    place(cmdLaunch, 4560, 360, 1575, 975);
    cmdLaunch->setDefault(true);
    cmdLaunch->setAutoDefault(true);
    cmdLaunch->setAccessibleName(QStringLiteral("Launch It !"));
    auto* launchLayout = new QVBoxLayout(cmdLaunch);
    launchLayout->setContentsMargins(2, 4, 2, 4);
    launchLayout->setSpacing(2);
    auto* launchIcon = new QLabel(cmdLaunch);
    launchIcon->setPixmap(QIcon(QStringLiteral(":/kestrun/kestrun-32.png")).pixmap(32, 32));
    launchIcon->setAlignment(Qt::AlignCenter);
    lblLaunchCaption = new QLabel(QStringLiteral("Launch It !"), cmdLaunch);
    lblLaunchCaption->setAlignment(Qt::AlignCenter);
    QFont bold = lblLaunchCaption->font();
    bold.setBold(true);
    lblLaunchCaption->setFont(bold);
    for (QLabel* label : {launchIcon, lblLaunchCaption}) {
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        launchLayout->addWidget(label);
    }

    fraTasks = new QGroupBox(QStringLiteral("Tasks:"), client);
    place(fraTasks, 120, 1800, 6375, 3735);
    lstTasks = new TaskListView(fraTasks);
    place(lstTasks, 240, 360, 5895, 2655);
    lstTasks->setColumnWidth(0, twips.X(1400));
    lstTasks->setColumnWidth(2, twips.X(1000));
    cmdAddTask = button(fraTasks, "New...", 240, 3120);
    cmdDeleteTask = button(fraTasks, "Delete", 1440, 3120);
    cmdEditTask = button(fraTasks, "Edit...", 2640, 3120);
    cmdMoveUp = button(fraTasks, "Move Up", 3840, 3120);
    cmdMoveDown = button(fraTasks, "Move Down", 5040, 3120);

    cmdExit = button(client, "Quit", 360, 5760);
    cmdClose = button(client, "Hide", 5160, 5760);

    for (QPushButton* disabled : {cmdDeleteProgram, cmdEditProgram, cmdAddTask, cmdDeleteTask, cmdEditTask,
                                  cmdMoveUp, cmdMoveDown})
        disabled->setEnabled(false);

    const QWidget* order[] = {cboPrograms, cmdAddProgram, cmdDeleteProgram, cmdEditProgram, cmdLaunch,
                              lstTasks,    cmdAddTask,    cmdDeleteTask,    cmdEditTask,    cmdMoveUp,
                              cmdMoveDown, cmdExit,       cmdClose};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
}

void frmMain::CreateMenus()
{
    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelpUsing = mnuHelp->addAction(QStringLiteral("Using Kestrun..."));
    mnuHelp->addSeparator();
    mnuHelpWebSite = mnuHelp->addAction(QStringLiteral("Quillon Works Web Site..."));
    mnuHelpDovu = mnuHelp->addAction(QStringLiteral("Dovu Project..."));
    mnuHelp->addSeparator();
    mnuAbout = mnuHelp->addAction(QStringLiteral("About Kestrun..."));

    // Never in the menu bar: the task list's pop-up menu.
    mnuPopUpList = new QMenu(QStringLiteral("PopUp List"), this);
    mnuEnabled = mnuPopUpList->addAction(QStringLiteral("Enabled"));
    mnuEnabled->setCheckable(true);
}

void frmMain::CreateTrayMenu()
{
    // Never in the menu bar: the tray icon's pop-up menu.
    mnuPopUpTray = new QMenu(QStringLiteral("PopUp Tray"), this);
    mnuPopUpStop = mnuPopUpTray->addAction(QStringLiteral("Stop"));
    mnuPopUpStopSeparator = mnuPopUpTray->addSeparator();
    mnuPopUpStop->setVisible(false);
    mnuPopUpStopSeparator->setVisible(false);
    connect(mnuPopUpStop, &QAction::triggered, this, [this] { StopRun(); });
    mnuPopUpOpen = mnuPopUpTray->addAction(QStringLiteral("Show Kestrun"));
    mnuPopUpTray->addSeparator();
    if (context_.loginStart) {
        mnuPopUpLogin = mnuPopUpTray->addAction(QStringLiteral("Start at Login"));
        mnuPopUpLogin->setCheckable(true);
        connect(mnuPopUpLogin, &QAction::triggered, this, [this] { mnuPopUpLogin_Click(); });
        // The setting can change outside Kestrun: read it at each opening.
        connect(mnuPopUpTray, &QMenu::aboutToShow, this, [this] { ShowLoginStart(); });
        ShowLoginStart();
    }
    mnuPopUpExit = mnuPopUpTray->addAction(QStringLiteral("Quit Kestrun"));
    connect(mnuPopUpOpen, &QAction::triggered, this, [this] { mnuPopUpOpen_Click(); });
    connect(mnuPopUpExit, &QAction::triggered, this, [this] { mnuPopUpExit_Click(); });
}

void frmMain::ConnectControls()
{
    connect(cboPrograms, &QComboBox::currentIndexChanged, this, [this] { cboPrograms_Click(); });
    connect(cmdAddProgram, &QPushButton::clicked, this, [this] { cmdAddProgram_Click(); });
    connect(cmdEditProgram, &QPushButton::clicked, this, [this] { cmdEditProgram_Click(); });
    connect(cmdDeleteProgram, &QPushButton::clicked, this, [this] { cmdDeleteProgram_Click(); });
    connect(cmdAddTask, &QPushButton::clicked, this, [this] { cmdAddTask_Click(); });
    connect(cmdEditTask, &QPushButton::clicked, this, [this] { cmdEditTask_Click(); });
    connect(cmdDeleteTask, &QPushButton::clicked, this, [this] { cmdDeleteTask_Click(); });
    connect(cmdMoveUp, &QPushButton::clicked, this, [this] { cmdMoveUp_Click(); });
    connect(cmdMoveDown, &QPushButton::clicked, this, [this] { cmdMoveDown_Click(); });
    connect(lstTasks, &TaskListView::Pressed, this, &frmMain::lstTasks_MouseDown);
    connect(mnuEnabled, &QAction::triggered, this, [this] { mnuEnabled_Click(); });
    connect(cmdLaunch, &QPushButton::clicked, this, [this] { cmdLaunch_Click(); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
    connect(mnuHelpUsing, &QAction::triggered, this, [this] { ShowUsage(); });
    connect(mnuHelpWebSite, &QAction::triggered, this, [this] { OpenWebSite(); });
    connect(mnuHelpDovu, &QAction::triggered, this, [this] { OpenProjectPage(); });
    connect(mnuAbout, &QAction::triggered, this, [this] { ShowAbout(); });
}

}  // namespace kestrun
