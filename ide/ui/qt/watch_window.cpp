#include "ide/ui/qt/watch_window.h"

#include <QActionGroup>
#include <QHeaderView>
#include <QListWidget>
#include <QMenu>
#include <QTabWidget>
#include <QTableWidget>

namespace vx930 {

TfmWatchForm::TfmWatchForm(std::unique_ptr<WatchTarget> target, QWidget* parent)
    : MdiChild(OnClose::Minimise, parent), target_(std::move(target)), model_(*target_) {
  setObjectName("fmWatchForm");
  setWindowTitle("Watch");

  pages_ = new QTabWidget(this);
  SetFocusWidget(pages_);
  pages_->setObjectName("PageControl1");
  pages_->setTabPosition(QTabWidget::South);

  procList_ = new QListWidget(pages_);
  procList_->setObjectName("lbProc");
  connect(procList_, &QListWidget::itemDoubleClicked, this, [this] { lbProcDblClick(); });
  localGrid_ = MakeGrid("sgLocalVar", 48, 112, 97);
  globalGrid_ = MakeGrid("sgGblVar", 40, 64, 64);
  pages_->addTab(procList_, "Procedure");
  pages_->addTab(localGrid_, "Local Variable");
  pages_->addTab(globalGrid_, "Global Variables");
  setWidget(pages_);

  popup_ = new QMenu(this);
  popup_->setObjectName("PopupMenu1");
  QMenu* external = popup_->addMenu("External RAM");
  n1k_ = external->addAction("1K", this, [this] { N1K1Click(); });
  n64k_ = external->addAction("64K", this, [this] { N64K1Click(); });
  QMenu* base = popup_->addMenu("Number Base");
  hex_ = base->addAction("Hex", this, [this] { Hex1Click(); });
  decimal_ = base->addAction("Decimal", this, [this] { Decimal1Click(); });
  for (QAction* a : {n1k_, n64k_, hex_, decimal_}) a->setCheckable(true);
  auto* ramGroup = new QActionGroup(this);
  ramGroup->addAction(n1k_);
  ramGroup->addAction(n64k_);
  auto* baseGroup = new QActionGroup(this);
  baseGroup->addAction(hex_);
  baseGroup->addAction(decimal_);
  SyncPopupChecks();

  FillGrids();
  resize(360, 199);
}

TfmWatchForm::~TfmWatchForm() = default;

QTableWidget* TfmWatchForm::MakeGrid(const char* name, int w0, int w1, int w2) {
  auto* grid = new QTableWidget(0, 3, pages_);
  grid->setObjectName(name);
  grid->setHorizontalHeaderLabels({"Name", "Value", "Type"});
  grid->verticalHeader()->hide();
  // The header's minimum follows the font and would otherwise raise the
  // rows above their 15 pixels.
  grid->verticalHeader()->setMinimumSectionSize(15);
  grid->verticalHeader()->setDefaultSectionSize(15);
  grid->setColumnWidth(0, w0);
  grid->setColumnWidth(1, w1);
  grid->setColumnWidth(2, w2);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(grid, &QWidget::customContextMenuRequested, this,
          [this, grid](const QPoint& at) { popup_->popup(grid->viewport()->mapToGlobal(at)); });
  return grid;
}

void TfmWatchForm::ShowProcedurePage() { pages_->setCurrentIndex(0); }

void TfmWatchForm::FillProcList(const OmfModule* modules) {
  procList_->clear();
  for (const std::string& name : WatchProcedureNames(modules)) procList_->addItem(QString::fromStdString(name));
}

void TfmWatchForm::RefreshWatch(const OmfSymbol* globals, const OmfSymbol* locals) {
  model_.Refresh(globals, locals);
  FillGrids();
}

void TfmWatchForm::DetachOmf() {
  model_.Detach();
  procList_->clear();
  FillGrids();
}

void TfmWatchForm::N1K1Click() { ChooseExRAM64k(false); }
void TfmWatchForm::N64K1Click() { ChooseExRAM64k(true); }
void TfmWatchForm::Hex1Click() { ChooseDecimal(false); }
void TfmWatchForm::Decimal1Click() { ChooseDecimal(true); }

// A setting that changes redraws from the caches; nothing is read again.
void TfmWatchForm::ChooseExRAM64k(bool on) {
  if (model_.ExRAM64k() != on) {
    model_.SetExRAM64k(on);
    FillGrids();
  }
  SyncPopupChecks();
}

void TfmWatchForm::ChooseDecimal(bool on) {
  if (model_.Decimal() != on) {
    model_.SetDecimal(on);
    FillGrids();
  }
  SyncPopupChecks();
}

void TfmWatchForm::SyncPopupChecks() {
  n1k_->setChecked(!model_.ExRAM64k());
  n64k_->setChecked(model_.ExRAM64k());
  hex_->setChecked(!model_.Decimal());
  decimal_->setChecked(model_.Decimal());
}

void TfmWatchForm::lbProcDblClick() {
  const QList<QListWidgetItem*> selected = procList_->selectedItems();
  if (selected.isEmpty()) return;
  target_->ShowProcedure(selected.front()->text().toStdString());
}

void TfmWatchForm::FillGrids() {
  auto fill = [](QTableWidget* grid, const std::vector<WatchRow>& rows) {
    grid->clearContents();
    // A grid without variables keeps one empty row under its header.
    grid->setRowCount(rows.empty() ? 1 : static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
      const WatchRow& row = rows[static_cast<std::size_t>(r)];
      grid->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(row.name)));
      grid->setItem(r, 1, new QTableWidgetItem(QString::fromStdString(row.value)));
      grid->setItem(r, 2, new QTableWidgetItem(QString::fromStdString(row.address)));
    }
  };
  fill(globalGrid_, model_.GlobalRows());
  fill(localGrid_, model_.LocalRows());
}

}  // namespace vx930
