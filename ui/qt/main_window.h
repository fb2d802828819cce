#pragma once
// The main window: the drawing area, the menu bar, the tool buttons and the
// three-panel status bar, with the file commands and the start-up sequence.

#include <QMainWindow>
#include <map>
#include <string>

#include "session/editor/commands.h"
#include "ui/qt/editor_host.h"

class QAction;
class QActionGroup;
class QLabel;

namespace tarnisk {

struct Session;
struct DrcReport;
class QtPlatform;
class LayoutView;
class TextDialog;
class ResistanceDialog;
class Palette;
class DuplicateDialog;
class StepMoveDialog;
class TFormCif;
class TFormExtract;
class TFormGenerator;
class TsimulFrame;
class TFormProcess;
class TFormEmc;
class TFormUcp;
class TCompilerFrame;
class TverilogForm;
class TFormViewMos;
class TFormAnalysis;
class TFormStatistics;
class TFormVersion;
class TFormDebug;
class DrcResults;

class Tmdiframe : public QMainWindow, public CommandUi, public EditorHost {
 public:
  // `defaultRules` is read when the command line names no rule file.
  Tmdiframe(Session& state, QtPlatform& platform, std::string defaultRules,
            std::string helpFile);
  ~Tmdiframe() override;

  // The start-up sequence with the command-line arguments (layout, rules).
  void StartUp(const QStringList& arguments);

  LayoutView& View() { return *view_; }

  // CommandUi
  void CommandChanged() override;
  void ShowDuplicateDialog(const DuplicateSelection& selection) override;
  void ShowStepMoveDialog(const StepMoveSelection& selection) override;
  TextDialogUi& TextDialog() override;
  ResistanceDialogUi& ResistanceDialog() override;
  void ReleasePaletteTools() override;
  void ShowProcessSection(Point a, Point b) override;
  void ShowParametricAnalysis(Point a, Point b) override;
  void NavigatorChanged() override;

  // EditorHost
  Session& State() override { return state_; }
  void EnterCommand(int code, const std::string& status) override;
  void EndPlacement() override;
  void BringToFront() override;
  void RedrawLayout() override;
  void ShowCellGenerator(GeneratorPage page, bool modal) override;

  // File commands, public for the tests that drive the window.
  bool OpenLayout(const std::string& path, bool insert);
  bool SaveLayout(const std::string& path);

 protected:
  void closeEvent(QCloseEvent* event) override;
  // Leaving the window for a tool window ends a pending move, so that the
  // tool window's operations never find its selection erased.
  void changeEvent(QEvent* event) override;
  // A click on the status bar shows the version and the time.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  void BuildFileMenu();
  void BuildViewMenu();
  void BuildEditMenu();
  void BuildOtherMenus();
  void BuildToolBar();
  // A menu item. Unless `keepsMove`, it first ends a move that waits for its
  // target, its selection back in place.
  QAction* Item(QMenu* menu, const char* text, const char* shortcut, std::function<void()> act,
                bool keepsMove = false);
  QAction* CommandItem(QMenu* menu, const char* text, const char* shortcut, int code,
                       const char* status);

  // AskSaveIfModified: 0 saved or not modified, 1 No, 2 Cancel.
  int AskSaveIfModified();
  void NewLayout();
  void OpenCommand(bool insert);
  void SaveCommand();
  void SaveAsCommand();
  void SelectFoundry();
  void ToggleDisplayMode();
  bool ConfirmLeave();
  void ShowHelp();
  void ResetCommand();
  void RunDesignRuleChecker();
  void StartProcessView();
  void OpenMosViewer();
  void OpenNavigator(int page);
  void OpenStatistics();
  void Refresh();
  void OpenVerilogFile();

  // Beside the specified window: the pointer's coordinates at the right of
  // the status bar, the unsaved-changes mark in the caption, the list of
  // every design rule violation, and the tool windows told of a new layout.
  void BuildPositionField();
  void BuildDrcResults();
  void ShowModified();
  // Shows the violation list before a check, so that the drawing keeps the
  // size on which the check draws its marks, and fills it after.
  void OpenViolationList();
  void ListViolations(const DrcReport& report);
  void LayoutReplaced();

  Session& state_;
  QtPlatform& platform_;
  std::string defaultRules_;
  std::string helpFile_;
  LayoutView* view_ = nullptr;
  tarnisk::TextDialog* textDialog_ = nullptr;
  tarnisk::ResistanceDialog* resistanceDialog_ = nullptr;
  Palette* palette_ = nullptr;
  DuplicateDialog* duplicateDialog_ = nullptr;
  StepMoveDialog* stepMoveDialog_ = nullptr;
  TFormCif* cifForm_ = nullptr;
  TFormExtract* extractForm_ = nullptr;
  TFormGenerator* generatorForm_ = nullptr;
  TsimulFrame* simulFrame_ = nullptr;
  TFormProcess* processForm_ = nullptr;
  TFormEmc* emcForm_ = nullptr;
  TFormUcp* ucpForm_ = nullptr;
  TCompilerFrame* compilerFrame_ = nullptr;
  TverilogForm* verilogForm_ = nullptr;
  TFormViewMos* viewMos_ = nullptr;
  TFormAnalysis* navigator_ = nullptr;
  TFormStatistics* statistics_ = nullptr;
  TFormVersion* version_ = nullptr;
  TFormDebug* debug_ = nullptr;
  DrcResults* drcResults_ = nullptr;
  bool listOpenedForCheck_ = false;  // the violation list was closed before this check
  QLabel* positionField_ = nullptr;
  QActionGroup* commandGroup_ = nullptr;
  std::map<int, QAction*> commandButtons_;
  QAction* noneButton_ = nullptr;
  QString lastDirectory_;
  bool leaving_ = false;
};

// A file name with its extension replaced by `extension` (appended after a
// "." when it has none). When no such file exists but one with the
// extension in lower case does, that one is taken: file names are case
// sensitive here.
std::string WithExtension(const std::string& name, const std::string& extension);

}  // namespace tarnisk
