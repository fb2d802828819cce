#pragma once
// The cell generator window (TFormGenerator, "Layout Generator"): one page
// per structure ("Pads", "Inductor", "Contacts", "Bus", "MOS", "Path",
// "Logo"). Every field stores its value in the generator's settings as it is
// edited; "Generate" closes the window and lets the main window place the
// structure at the next click (the pad ring is drawn at once). A label warns
// when the values chosen would break a design rule.

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "session/generator/generator.h"

class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace tarnisk {

class EditorHost;
struct GeneratorSettings;

class TFormGenerator : public QDialog {
 public:
  TFormGenerator(EditorHost& host, QWidget* parent);

  // Shows the window on a page, its fields filled from the settings.
  void Open(GeneratorPage page, bool modal);
  GeneratorPage CurrentPage() const;

  // Handlers.
  void UpdateOptions();
  void btnOKClick();
  void btnLoadPadsClick();
  // Reads a pad file as the "Load pad file" button does after its dialog.
  void LoadPads(const std::string& path);

 private:
  QWidget* BuildPadsPage();
  QWidget* BuildInductorPage();
  QWidget* BuildContactsPage();
  QWidget* BuildBusPage();
  QWidget* BuildMosPage();
  QWidget* BuildPathPage();
  QWidget* BuildLogoPage();

  // Field builders: each control stores its value at once, shows its status
  // message and is filled again by UpdateOptions.
  using Status = std::function<std::string(int)>;  // the message after a change to a value
  QLineEdit* IntegerField(QFormLayout* form, const char* name, const char* caption, int minimum,
                          std::function<int&(GeneratorSettings&)> field, Status status);
  QLineEdit* RealField(QFormLayout* form, const char* name, const char* caption,
                       std::function<double&(GeneratorSettings&)> field, std::string status);
  // A group of radio buttons or a combo box choosing item `index`.
  void Choice(QFormLayout* form, const char* name, const char* caption,
              std::vector<const char*> items, bool combo,
              std::function<int(const GeneratorSettings&)> index,
              std::function<void(GeneratorSettings&, int)> choose, Status status);
  void Changed(const std::string& status);
  void ShowPadCounts();
  void ShowWarning();

  EditorHost& host_;
  QTabWidget* pageControl_;
  QPushButton* btnOK_;
  QLabel* labelTotal_;
  QLabel* labelPadFile_;
  QLabel* labelWarning_;
  std::vector<std::function<void()>> refreshers_;
  bool refreshing_ = false;
};

}  // namespace tarnisk
