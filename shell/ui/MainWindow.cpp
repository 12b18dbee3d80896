#include "shell/ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QScreen>
#include <QShowEvent>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>

#include <algorithm>

#include "base/ProgramFolder.h"
#include "base/ScriptFont.h"
#include "base/SettingsStore.h"
#include "base/ui/DialogHelp.h"
#include "base/ui/WindowResources.h"
#include "db/RecentConnections.h"
#include "run/ConfigurationCommands.h"
#include "run/LibraryCommands.h"
#include "run/RunController.h"
#include "run/StartRules.h"
#include "run/ui/ControlPanel.h"
#include "shell/ui/AboutBox.h"
#include "shell/ui/FindBox.h"
#include "shell/ui/HelpWindow.h"
#include "shell/ui/QtHost.h"
#include "shell/ui/ScriptPrinter.h"
#include "shell/ui/ScriptView.h"

namespace mv {

namespace {

// The database pane's resting text; the blanks fix the pane's width.
const QString kNoDatabase = QStringLiteral("Database:    Not available").leftJustified(60, QChar(' '));

QIcon StripIcon(const char* strip) {
  const QPixmap all(QString::fromLatin1(strip));
  QIcon icon(all.copy(0, 0, all.width() / 4, all.height()));
  icon.addPixmap(all.copy(3 * all.width() / 4, 0, all.width() / 4, all.height()), QIcon::Disabled);
  return icon;
}

}  // namespace

MainWindow::MainWindow(SettingsStore& settings, std::string programFolder, QWidget* parent)
    : QMainWindow(parent), settings_(settings), programFolder_(std::move(programFolder)) {
  InitWindowResources();
  setWindowTitle(QStringLiteral("Ready - Mervale"));
  setWindowIcon(QIcon(QStringLiteral(":/shell/mervale-128.png")));
  view_ = new ScriptView(this);
  setCentralWidget(view_);
  host_ = std::make_unique<QtHost>(*view_, this);
  owner_ = std::make_unique<RunController>(*host_, settings_, programFolder_);

  host_->SetPanelFactory([this] {
    ControlPanel::Hooks hooks;
    hooks.skip = [this] { SkipCommand(); };
    hooks.play = [this] { ResumeCommand(); };
    hooks.pause = [this] { PauseCommand(); };
    hooks.stop = [this] { StopCommand(); };
    hooks.help = [this] { ShowHelp("control-panel"); };
    hooks.runActive = [this] { return owner_->Status().running; };
    hooks.tell = [this](const std::string& text) { host_->Message(text, Host::Buttons::Ok); };
    auto* panel = new ControlPanel(hooks, this);
    // At the script view's right edge, where it hides the least of the script's start.
    const QRect area = geometry();
    panel->move(area.right() - panel->width() - 24, area.top() + 60);
    return panel;
  });
  host_->SetTitleSource([this] { return owner_->Title(); });
  connect(host_.get(), &QtHost::runStateChanged, this, &MainWindow::RefreshCommands);
  connect(host_.get(), &QtHost::runEnded, this, &MainWindow::OnRunEnded);

  // The dialogs' Help buttons open their pages here.
  ui::DialogHelpHandler() = [this](const std::string& topic) { ShowHelp(topic); };
  BuildMenus();
  databasePane_ = new QLabel(kNoDatabase, this);
  statusBar()->addPermanentWidget(databasePane_);
  statusBar()->showMessage(QStringLiteral("Ready"));
  connect(view_, &ScriptView::copyAvailable, this, [this](bool yes) { Command("copy")->setEnabled(yes); });
  resize(800, 600);
  RefreshCommands();
}

void MainWindow::LoadStartupState() {
  mv::LoadStartupState(owner_->session());
  view_->SetFont(LoadScriptFont(settings_));
  view_->SetIgnoreTyping(owner_->session().readOnly);
  // The library folder is settled (and "LibDir" written) at start-up.
  SqlLibrary::LibraryFolder(settings_, programFolder_);
  RefreshCommands();
}

MainWindow::~MainWindow() {
  ui::DialogHelpHandler() = nullptr;
  // A run still active (the window was destroyed without closing) ends here, its calls
  // still answered by the host; nothing of the window asks the controller while it goes.
  host_->SetTitleSource(nullptr);
  disconnect(host_.get(), nullptr, this, nullptr);
  host_->DestroyPanel();
  owner_.reset();
}

void MainWindow::SetDialogHooks(DialogHooks hooks) {
  hooks_ = std::move(hooks);
  if (hooks_.chooseDataSource)
    host_->SetDataSourceFunction([this](const std::string& current) {
      QWidget* parent = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : this;
      std::optional<DataSourceChoice> choice =
          hooks_.chooseDataSource(parent, current, RecentConnections::Load(settings_));
      chosenConnection_ = choice ? choice->connectString : std::string();
      return choice;
    });
  else
    host_->SetDataSourceFunction(nullptr);
  RefreshCommands();
}

QAction* MainWindow::Command(const char* name) const {
  auto it = commands_.find(name);
  return it == commands_.end() ? nullptr : it->second;
}

QAction* MainWindow::AddCommand(QMenu* menu, const char* name, const QString& text, const char* prompt,
                                const QKeySequence& key, void (MainWindow::*slot)()) {
  auto* action = new QAction(text, this);
  action->setObjectName(QString::fromLatin1(name));
  if (!key.isEmpty()) action->setShortcut(key);
  // A prompt is the status-bar text, then after a line break the tool tip.
  const QString p = QString::fromLatin1(prompt);
  const auto nl = p.indexOf('\n');
  action->setStatusTip(nl < 0 ? p : p.left(nl));
  if (nl >= 0) action->setToolTip(p.mid(nl + 1));
  connect(action, &QAction::triggered, this, slot);
  if (menu) menu->addAction(action);
  commands_[name] = action;
  return action;
}

void MainWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&Mervale"));
  AddCommand(file, "start", "&Start Mervale", "Start a new script\nStart", QKeySequence("Ctrl+N"),
             &MainWindow::StartCommand);
  AddCommand(file, "rerunLast", "Rerun Last", "Rerun last script\nRerun last (Ctrl+L)", QKeySequence("Ctrl+L"),
             &MainWindow::RerunLastCommand);
  file->addSeparator();
  AddCommand(file, "startSql", "Start S&QL Script", "Start a new free form SQL Script\nStart SQL (Ctrl+J)",
             QKeySequence("Ctrl+J"), &MainWindow::StartSqlCommand);
  AddCommand(file, "rerunLastSql", "R&erun Last SQL Script", "Rerun last sql script\nRerun last sql (Ctrl+M)",
             QKeySequence("Ctrl+M"), &MainWindow::RerunLastSqlCommand);
  file->addSeparator();
  AddCommand(file, "openConfig", "&Open Configuration", "", QKeySequence("Ctrl+O"),
             &MainWindow::OpenConfigurationCommand);
  AddCommand(file, "saveConfig", "&Save Configuration", "", {}, &MainWindow::SaveConfigurationCommand);
  AddCommand(file, "saveConfigAs", "Save &Configuration as...", "", {}, &MainWindow::SaveConfigurationAsCommand);
  file->addSeparator();
  AddCommand(file, "saveScript", "S&ave Script", "Save the current scriptto a file\nSave", QKeySequence("Ctrl+S"),
             &MainWindow::SaveScriptCommand);
  file->addSeparator();
  AddCommand(file, "exit", "E&xit", "", {}, &MainWindow::ExitCommand);

  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  QAction* copy = AddCommand(edit, "copy", "&Copy", "Copy the selection and put it on the Clipboard\nCopy",
                             QKeySequence("Ctrl+C"), &MainWindow::CopyCommand);
  copy->setShortcuts({QKeySequence("Ctrl+C"), QKeySequence("Ctrl+Insert")});
  copy->setEnabled(false);
  AddCommand(edit, "find", "&Find", "Find text in script\nFind", QKeySequence("Ctrl+F"), &MainWindow::FindCommand);
  AddCommand(edit, "print", "Print", "Print the current report\nPrint", {}, &MainWindow::PrintCommand);
  AddCommand(edit, "exportPdf", "&Export PDF...", "Write the current report as a PDF file\nExport PDF", {},
             &MainWindow::ExportPdfCommand);
  AddCommand(edit, "font", "Font", "Change the report's font\nFont", {}, &MainWindow::FontCommand);
  QAction* readOnly =
      AddCommand(edit, "readOnly", "Read Only", "Is report read only", {}, &MainWindow::ReadOnlyCommand);
  readOnly->setCheckable(true);

  // Third popup of the menu bar; its entries are rebuilt every time it opens.
  libraryMenu_ = menuBar()->addMenu(QStringLiteral("&SQL Library"));
  AddCommand(libraryMenu_, "manageLibrary", "Manage Library", "", {}, &MainWindow::ManageLibraryCommand);
  libraryMenu_->addSeparator();
  QAction* autoRun = AddCommand(libraryMenu_, "autoRun", "Auto Run", "Automatically run library script when open.", {},
                                &MainWindow::AutoRunCommand);
  autoRun->setCheckable(true);
  libraryMenu_->addSeparator();
  connect(libraryMenu_, &QMenu::aboutToShow, this, &MainWindow::RebuildLibraryMenu);

  QMenu* action = menuBar()->addMenu(QStringLiteral("&Action"));
  AddCommand(action, "pause", "&Pause...", "Pause the current run\nPause", QKeySequence("Ctrl+P"),
             &MainWindow::PauseCommand);
  AddCommand(action, "resume", "&Resume...", "Resume the currently paused run\nResume", QKeySequence("Ctrl+R"),
             &MainWindow::ResumeCommand);
  AddCommand(action, "skip", "S&kip...", "Stop processing current table and skip to next\nSkip to next table",
             QKeySequence("Ctrl+K"), &MainWindow::SkipCommand);
  AddCommand(action, "stop", "&Stop...", "Stop the current run\nStop", QKeySequence("Ctrl+T"),
             &MainWindow::StopCommand);
  // The run's controls answer in every window of the program (the Control Panel, the find box,
  // the help), not only while the main window is active.
  for (const char* name : {"pause", "resume", "skip", "stop"})
    Command(name)->setShortcutContext(Qt::ApplicationShortcut);

  QMenu* profiles = menuBar()->addMenu(QStringLiteral("&Profiles"));
  AddCommand(profiles, "profiles", "&Setup", "Setup Profiles\nSetup", {}, &MainWindow::ProfilesCommand);

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  AddCommand(help, "helpTopics", "Help Topics", "", QKeySequence::HelpContents, &MainWindow::HelpTopicsCommand);
  AddCommand(help, "about", "&About Mervale...", "", {}, &MainWindow::AboutCommand);

  QToolBar* bar = addToolBar(QStringLiteral("Toolbar"));
  bar->setObjectName(QStringLiteral("toolbar"));
  QStyle* s = style();
  Command("start")->setIcon(s->standardIcon(QStyle::SP_FileIcon));
  Command("rerunLast")->setIcon(s->standardIcon(QStyle::SP_BrowserReload));
  Command("startSql")->setIcon(s->standardIcon(QStyle::SP_FileDialogDetailedView));
  Command("rerunLastSql")->setIcon(s->standardIcon(QStyle::SP_FileDialogContentsView));
  Command("pause")->setIcon(StripIcon(":/panel/pause.png"));
  Command("resume")->setIcon(StripIcon(":/panel/play.png"));
  Command("skip")->setIcon(StripIcon(":/panel/skip.png"));
  Command("stop")->setIcon(StripIcon(":/panel/stop.png"));
  Command("saveScript")->setIcon(s->standardIcon(QStyle::SP_DialogSaveButton));
  Command("find")->setIcon(s->standardIcon(QStyle::SP_FileDialogContentsView));
  Command("about")->setIcon(s->standardIcon(QStyle::SP_MessageBoxInformation));
  for (const char* name : {"start", "rerunLast", "startSql", "rerunLastSql", "", "pause", "resume", "skip", "stop", "",
                           "saveScript", "find", "", "about"}) {
    if (*name)
      bar->addAction(Command(name));
    else
      bar->addSeparator();
  }
}

void MainWindow::RefreshCommands() {
  RunController& o = *owner_;
  RunFlags f;
  f.running = o.Status().running;
  f.paused = o.Status().paused;
  f.skipAllowed = o.Status().skipAllowed;
  f.hasRun = o.session().hasRun;
  f.configLoadedSinceRun = o.session().configLoadedSinceRun;
  f.lastSqlAvailable = o.session().lastSqlAvailable;
  f.configFileKnown = !o.session().config.file.empty();
  const CommandStates st = CommandStatesFor(f);
  const bool idle = !o.Status().workerActive;
  Command("start")->setEnabled(st.start && idle && bool(hooks_.parameters));
  Command("rerunLast")->setEnabled(st.rerunLast && idle);
  Command("startSql")->setEnabled(st.startSql && idle && bool(hooks_.sqlScript));
  Command("rerunLastSql")->setEnabled(st.rerunLastSql && idle);
  Command("pause")->setEnabled(st.pause);
  Command("resume")->setEnabled(st.resume);
  Command("skip")->setEnabled(st.skip);
  Command("stop")->setEnabled(st.stop);
  Command("saveScript")->setEnabled(st.saveScript);
  Command("find")->setEnabled(st.find);
  Command("print")->setEnabled(st.print);
  Command("exportPdf")->setEnabled(st.print);
  Command("saveConfig")->setEnabled(st.saveConfig && idle);
  Command("saveConfigAs")->setEnabled(st.saveConfigAs && idle);
  Command("openConfig")->setEnabled(idle);
  Command("profiles")->setEnabled(idle && bool(hooks_.profiles));
  Command("readOnly")->setChecked(o.session().readOnly);
  Command("autoRun")->setChecked(SqlLibrary::AutoRun(settings_));
  if (ControlPanel* panel = host_->Panel()) panel->ApplyStates(st);
  // A paused script is read: the window shows all of it.
  if (f.paused) view_->Drain();
  setWindowTitle(QString::fromStdString(o.Title()));
  if (idle && o.session().HasUsableConnection() && !chosenConnection_.empty()) {
    RecentConnections::Remember(settings_, chosenConnection_);
    chosenConnection_.clear();
  }
  // During a run the connection is the worker's: the pane names it as the run started on it.
  if (!idle)
    databasePane_->setText(QString::fromStdString("Database:    " + o.RunDatabaseTitle()));
  else if (o.session().HasUsableConnection())
    databasePane_->setText(QString::fromStdString("Database:    " + o.session().connection.get()->Target().title));
  else
    databasePane_->setText(kNoDatabase);
}

void MainWindow::OnRunEnded() {
  owner_->CollectRun();
  RefreshCommands();
  if (owner_->session().autoStartExit >= 0) {
    autoExit_ = owner_->session().autoStartExit;
    close();
  }
}

void MainWindow::ApplyPlacement(const WindowPlacement& p) {
  // Never larger than the screen: at 200% the default 800 by 600 is taller than a 1000-pixel
  // screen, and the status bar would fall off its bottom.
  QSize size(p.width, p.height);
  if (const QScreen* s = screen()) size = size.boundedTo(s->availableGeometry().size());
  resize(size);
  if (p.move) move(p.x, p.y);
  if (p.minimized)
    setWindowState(Qt::WindowMinimized);
  else if (p.maximized)
    setWindowState(Qt::WindowMaximized);
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // The frame is known once the window manager has framed the window, a moment after it shows.
  if (!event->spontaneous()) QTimer::singleShot(300, this, &MainWindow::KeepFrameOnScreen);
}

void MainWindow::KeepFrameOnScreen() {
  const QScreen* s = screen();
  if (!s || !isVisible() || (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)))
    return;
  const QRect room = s->availableGeometry(), frame = frameGeometry();
  if (room.contains(frame)) return;
  const QSize margins = frame.size() - size();
  const QSize inner = size().boundedTo(room.size() - margins);
  resize(inner);
  const QSize outer = inner + margins;
  move(std::clamp(frame.x(), room.left(), std::max(room.left(), room.right() + 1 - outer.width())),
       std::clamp(frame.y(), room.top(), std::max(room.top(), room.bottom() + 1 - outer.height())));
}

void MainWindow::StartWith(const std::string& path) {
  AutoStart(*owner_, path);
  RefreshCommands();
}

void MainWindow::StartCommand() {
  if (!hooks_.parameters || !CanStart(*owner_, RunKind::Scripting)) return;
  if (hooks_.parameters(this, *owner_)) {
    owner_->Output().SetSaved(false);
    owner_->StartRun();
  }
  RefreshCommands();
}

void MainWindow::RerunLastCommand() {
  owner_->StartRun();
  RefreshCommands();
}

void MainWindow::StartSqlCommand() {
  if (!hooks_.sqlScript || !CanStart(*owner_, RunKind::FreeForm)) return;
  if (hooks_.sqlScript(this, *owner_)) owner_->StartFreeFormRun(true);
  RefreshCommands();
}

void MainWindow::RerunLastSqlCommand() {
  // Refused with its message without a usable connection, as every start is.
  owner_->StartFreeFormRun(false);
  RefreshCommands();
}

void MainWindow::PauseCommand() {
  owner_->PauseCommand();
  RefreshCommands();
}

void MainWindow::ResumeCommand() {
  owner_->ResumeCommand();
  RefreshCommands();
}

void MainWindow::SkipCommand() {
  owner_->SkipCommand();
  RefreshCommands();
}

void MainWindow::StopCommand() {
  owner_->StopCommand(true);
  RefreshCommands();
}

void MainWindow::OpenConfigurationCommand() {
  const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open Configuration"), QString(),
                                                    QStringLiteral("Mervale Config Files (*.mvl)"));
  if (path.isEmpty()) return;
  LoadConfiguration(*owner_, path.toLocal8Bit().toStdString(), false);
  RefreshCommands();
}

void MainWindow::SaveConfigurationCommand() {
  if (owner_->session().config.file.empty()) return;
  SaveConfiguration(*owner_, owner_->session().config.file);
  RefreshCommands();
}

void MainWindow::SaveConfigurationAsCommand() {
  const std::string path =
      host_->AskSavePath({{"Mervale Config Files (*.mvl)", {"*.mvl"}}}, "mvl", owner_->session().config.file);
  if (path.empty()) return;
  SaveConfiguration(*owner_, path);
  RefreshCommands();
}

void MainWindow::SaveScriptCommand() {
  view_->Drain();
  owner_->Output().SetSaved(false);
  SaveScript(*owner_);
}

void MainWindow::CopyCommand() { view_->copy(); }

void MainWindow::FindCommand() {
  if (!find_)
    find_ = new FindBox(
        *view_, [this](const std::string& text, Host::Buttons b) { return host_->Message(text, b); }, this);
  find_->Open();
}

void MainWindow::PrintCommand() {
  // Without a printer the print dialog has nothing to print on: the PDF file is the paper.
  if (QPrinterInfo::availablePrinterNames().isEmpty()) {
    ExportPdfCommand();
    return;
  }
  view_->Drain();
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, this);
  dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize);
  if (dialog.exec() != QDialog::Accepted) return;
  // The printed document holds the script's own colours, the shades white paper takes.
  const std::string error = PrintScript(*view_->PrintDocument(), printer);
  if (!error.empty()) host_->Warn(error);
}

void MainWindow::ExportPdfCommand() {
  view_->Drain();
  const std::string path = host_->AskSavePath({{"PDF Files (*.pdf)", {"*.pdf"}}}, "pdf", "script.pdf");
  if (path.empty()) return;
  const std::string error = ExportScriptPdf(*view_->PrintDocument(), path);
  if (!error.empty()) host_->Warn(error);
}

void MainWindow::FontCommand() {
  const ScriptFont current = view_->CurrentFont();
  QFont initial(QString::fromStdString(current.face));
  initial.setPointSizeF(current.pointSize);
  initial.setBold(current.bold);
  initial.setItalic(current.italic);
  // The dialog pre-selects the style the font names; without one it takes the family's first
  // in its list ("Oblique" for some), and changing only the size would make the script italic.
  const QString family = QFontInfo(initial).family();
  for (const QString& style : QFontDatabase::styles(family)) {
    // Slanted either way: the database calls an oblique style not italic.
    const QFont f = QFontDatabase::font(family, style, 10);
    if ((f.style() != QFont::StyleNormal) == current.italic && QFontDatabase::bold(family, style) == current.bold) {
      initial.setFamily(family);
      initial.setStyleName(style);
      break;
    }
  }
  bool ok = false;
  const QFont chosen =
      QFontDialog::getFont(&ok, initial, this, QStringLiteral("Font"),
                           QFontDialog::MonospacedFonts | QFontDialog::ScalableFonts | QFontDialog::NonScalableFonts);
  if (!ok) return;
  ScriptFont f;
  f.face = chosen.family().toStdString();
  f.pointSize = chosen.pointSizeF() > 0 ? chosen.pointSizeF() : current.pointSize;
  f.bold = chosen.bold();
  f.italic = chosen.italic();
  SaveScriptFont(settings_, f);
  view_->SetFont(f);
}

void MainWindow::ReadOnlyCommand() {
  owner_->session().readOnly = !owner_->session().readOnly;
  settings_.WriteInt("IsReadOnly", owner_->session().readOnly ? 1 : 0);
  view_->SetIgnoreTyping(owner_->session().readOnly);
  RefreshCommands();
}

void MainWindow::ProfilesCommand() {
  if (hooks_.profiles) hooks_.profiles(this, *owner_);
  RefreshCommands();
}

void MainWindow::RebuildLibraryMenu() {
  library_.Rebuild(SqlLibrary::LibraryFolder(settings_, programFolder_));
  // Everything after the four fixed items is the previous list.
  const QList<QAction*> items = libraryMenu_->actions();
  for (qsizetype i = 4; i < items.size(); ++i) {
    libraryMenu_->removeAction(items[i]);
    if (QMenu* sub = items[i]->menu()) sub->deleteLater();
    items[i]->deleteLater();
  }
  auto addEntry = [this](QMenu* menu, const std::string& name, int command) {
    QAction* a = menu->addAction(QString::fromStdString(name));
    a->setData(command);
    connect(a, &QAction::triggered, this, [this, command] {
      OpenLibraryEntry(*owner_, library_, command);
      RefreshCommands();
    });
  };
  for (const LibraryEntry& e : library_.Entries()) {
    if (e.isFolder) {
      QMenu* sub = libraryMenu_->addMenu(QString::fromStdString(e.name));
      for (const LibraryFile& f : e.files) addEntry(sub, f.name, f.command);
    } else {
      addEntry(libraryMenu_, e.name, e.command);
    }
  }
  Command("autoRun")->setChecked(SqlLibrary::AutoRun(settings_));
}

void MainWindow::ManageLibraryCommand() {
  const std::string folder = SqlLibrary::LibraryFolder(settings_, programFolder_);
  // The folder opens in the desktop's file manager; without one the user is told where it is.
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (opener.isEmpty() || !QProcess::startDetached(opener, {QString::fromStdString(folder)}))
    host_->Message("The SQL Library folder could not be opened: " +
                   std::string(opener.isEmpty() ? "xdg-open was not found" : "xdg-open could not be started") +
                   ".\nThe library is the folder " + folder + ".");
}

void MainWindow::AutoRunCommand() {
  SqlLibrary::ToggleAutoRun(settings_);
  Command("autoRun")->setChecked(SqlLibrary::AutoRun(settings_));
}

void MainWindow::ShowHelp(const std::string& topic) {
  // Asked from a modal dialog, the help window belongs to it: any other window would be
  // blocked until the dialog closes.
  QWidget* owner = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : this;
  if (!help_) help_ = new HelpWindow(JoinPath(programFolder_, "help"), owner);
  if (help_->parentWidget() != owner) help_->setParent(owner, Qt::Window);
  if (!help_->ShowTopic(topic))
    host_->Warn("The help pages were not found in " + help_->Folder() + ". Reinstall Mervale to restore them.");
}

void MainWindow::HelpTopicsCommand() { ShowHelp("index"); }

void MainWindow::AboutCommand() {
  AboutBox box(this);
  box.exec();
}

void MainWindow::ExitCommand() { close(); }

void MainWindow::closeEvent(QCloseEvent* event) {
  if (owner_->Status().workerActive) {
    // Stopping writes the stop note and flushes; the window closes after the run has ended.
    if (owner_->Status().running) owner_->StopCommand(true);
    if (owner_->Status().running) {
      event->ignore();
      return;
    }
    host_->WaitWhileProcessing([this] { return !owner_->Status().workerActive; });
    owner_->CollectRun();
    RefreshCommands();
  }
  if (autoExit_ < 0 && !OfferToSave(*owner_, RunKind::Scripting)) {
    event->ignore();
    return;
  }
  if (!placementSaved_) {
    auto rect = [](const QRect& r) { return WindowRect{r.x(), r.y(), r.width(), r.height()}; };
    const WindowPlacement p =
        ClosingPlacement(rect(frameGeometry()), rect(geometry()), rect(normalGeometry()), isMaximized());
    SaveWindowPlacement(settings_, p.width, p.height, p.maximized, p.x, p.y);
    SaveShutdownState(owner_->session());
    placementSaved_ = true;
  }
  if (find_) find_->close();
  if (help_) help_->close();
  host_->DestroyPanel();
  event->accept();
}

}  // namespace mv
