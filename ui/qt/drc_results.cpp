#include "ui/qt/drc_results.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "session/analysis/drc_command.h"
#include "session/session.h"
#include "ui/qt/qt_platform.h"

namespace tarnisk {

// The violations as table rows: rule label, explanation, location.
class ViolationTable : public QAbstractTableModel {
 public:
  explicit ViolationTable(const std::vector<DrcViolation>& violations, QObject* parent)
      : QAbstractTableModel(parent), violations_(violations) {}

  void Reset() {
    beginResetModel();
    endResetModel();
  }
  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : int(violations_.size());
  }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 3; }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const DrcViolation& v = violations_[size_t(index.row())];
    switch (index.column()) {
      case 0: return QString::fromStdString(v.label.empty() ? "-" : v.label);
      case 1: return QString::fromStdString(DrcExplanation(v));
      default: return QString::fromStdString(ViolationLocation(v));
    }
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
      return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const kTitles[] = {"Rule", "Explanation", "Location (lambda)"};
    return kTitles[section];
  }

 private:
  const std::vector<DrcViolation>& violations_;
};

DrcResults::DrcResults(Session& state, QtPlatform& platform, std::function<void()> viewChanged,
                       QWidget* parent)
    : QDockWidget("Design Rule Violations", parent),
      state_(state),
      platform_(platform),
      viewChanged_(std::move(viewChanged)),
      model_(new ViolationTable(violations_, this)) {
  setObjectName("DrcResults");
  auto* body = new QWidget(this);
  auto* column = new QVBoxLayout(body);
  summary_ = new QLabel(body);
  summary_->setObjectName("DrcSummary");
  summary_->setWordWrap(true);
  table_ = new QTableView(body);
  table_->setObjectName("DrcViolations");
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setWordWrap(false);
  table_->verticalHeader()->setVisible(false);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setColumnWidth(0, 56);
  table_->setColumnWidth(1, 340);
  auto* buttons = new QHBoxLayout();
  previous_ = new QPushButton("Previous", body);
  next_ = new QPushButton("Next", body);
  previous_->setObjectName("DrcPrevious");
  next_->setObjectName("DrcNext");
  buttons->addWidget(previous_);
  buttons->addWidget(next_);
  column->addWidget(summary_);
  column->addWidget(table_, 1);
  column->addLayout(buttons);
  setWidget(body);
  connect(previous_, &QPushButton::clicked, this, [this] { Previous(); });
  connect(next_, &QPushButton::clicked, this, [this] { Next(); });
  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (!filling_) Show(current.row());
          });
  ShowButtons();
}

void DrcResults::Clear(const QString& note) {
  violations_.clear();
  model_->Reset();
  summary_->setText(note);
  ShowButtons();
}

void DrcResults::ShowReport(const DrcReport& report) {
  violations_ = report.violations;
  model_->Reset();
  QString text = report.errorCount == 0 ? QString("No violation")
                 : report.errorCount == 1
                     ? QString("1 violation")
                     : QString("%1 violations").arg(report.errorCount);
  if (size_t(report.errorCount) > violations_.size())
    text += QString(", the first %1 listed").arg(violations_.size());
  if (!report.skipped.empty())
    text += QString("; %1 skipped (too many distinct coordinates)")
                .arg(report.skipped.size() == 1 ? QString("1 check")
                                                : QString("%1 checks").arg(report.skipped.size()));
  summary_->setText(text);
  // The first violation is on the screen already, as the check left it.
  if (!violations_.empty()) {
    filling_ = true;
    table_->setCurrentIndex(model_->index(0, 0));
    filling_ = false;
  }
  ShowButtons();
}

void DrcResults::Choose(int row) {
  if (row < 0 || row >= RowCount()) return;
  if (row == CurrentRow()) Show(row);
  else table_->setCurrentIndex(model_->index(row, 0));  // shows it through the selection
}

void DrcResults::Show(int row) {
  ShowButtons();
  if (platform_.InsideEventPump() || row < 0 || row >= RowCount()) return;
  const DrcViolation& v = violations_[size_t(row)];
  table_->scrollTo(model_->index(row, 0));
  ShowViolation(state_, violations_, size_t(row));
  ShowStatus(state_.platform, DrcExplanation(v) + " at " + ViolationLocation(v) + " lambda");
  viewChanged_();
}

void DrcResults::Next() { Choose(CurrentRow() + 1); }
void DrcResults::Previous() { Choose(CurrentRow() - 1); }
int DrcResults::CurrentRow() const { return table_->currentIndex().row(); }
int DrcResults::RowCount() const { return int(violations_.size()); }

void DrcResults::ShowButtons() {
  previous_->setEnabled(CurrentRow() > 0);
  next_->setEnabled(CurrentRow() + 1 < RowCount());
}

void DrcResults::LayoutReplaced() { Clear("Run the Design Rule Checker to list violations."); }

}  // namespace tarnisk
