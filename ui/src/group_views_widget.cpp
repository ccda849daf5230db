#include "ui/group_views_widget.h"

#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include "model/signal_quality.h"

#include <map>
#include <utility>
#include "ui/pictures.h"
#include "ui/qt_seams.h"

namespace tessel {

namespace {
constexpr int kIdRole = Qt::UserRole + 1;
constexpr int kBasicColumns = 2;
constexpr int kMonitorColumns = 6;

// The state image and the image of a row or node side by side, as the
// list shows them in one column.
// The same picture whether the row is selected or not: the style's own
// selected look would wash a mark out (a full dot turned into a ring).
QIcon unchangedWhenSelected(const QPixmap& pm) {
  QIcon icon(pm);
  icon.addPixmap(pm, QIcon::Selected);
  icon.addPixmap(pm, QIcon::Active);
  return icon;
}

// A state picture (-1 none, else a list image, or kCurrentMark) beside a
// list image; drawn from the pictures once per pair and kept, since a
// monitor renews its marks at every reply.
constexpr int kCurrentMark = 100;
QIcon pairIcon(int state, int image) {
  static std::map<std::pair<int, int>, QIcon> drawn;
  const auto key = std::make_pair(state, image);
  const auto known = drawn.find(key);
  if (known != drawn.end()) return known->second;
  const QIcon left = state == kCurrentMark ? currentRowMark() : listImage(state);
  const QIcon right = listImage(image);
  QIcon icon;
  if (!left.isNull() || !right.isNull()) {
    QPixmap pm(34, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    if (!left.isNull()) left.paint(&p, QRect(0, 0, 16, 16));
    if (!right.isNull()) right.paint(&p, QRect(18, 0, 16, 16));
    p.end();
    icon = unchangedWhenSelected(pm);
  }
  return drawn.emplace(key, icon).first->second;
}
}  // namespace

QtGroupViews::QtGroupViews() : list_(new QTreeWidget), tree_(new QTreeWidget) {
  list_->setObjectName(QStringLiteral("activeGroup"));
  list_->setAccessibleName(QStringLiteral("Radio list"));
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setIconSize(QSize(34, 16));
  list_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("ID")});
  list_->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  list_->header()->setStretchLastSection(false);
  list_->header()->setMinimumSectionSize(30);
  list_->setColumnWidth(0, 120);
  list_->setColumnWidth(1, 30);
  // Name and ID always fit beside the panel.
  list_->setMinimumWidth(120 + 30 + list_->verticalScrollBar()->sizeHint().width() +
                         2 * list_->frameWidth() + 4);
  QObject::connect(list_->header(), &QHeaderView::sectionResized,
                   [this](int section, int, int size) {
                     if (!applyingWidths_ && section >= kBasicColumns && section < kMonitorColumns)
                       columnWidths[static_cast<size_t>(section)] = size;
                   });

  tree_->setObjectName(QStringLiteral("allGroups"));
  tree_->setAccessibleName(QStringLiteral("Group tree"));
  tree_->setHeaderHidden(true);
  tree_->setIconSize(QSize(34, 16));
  tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree_->setSortingEnabled(true);
  tree_->sortByColumn(0, Qt::AscendingOrder);
}

QtGroupViews::~QtGroupViews() {
  // The widgets belong to the window they were placed in; unplaced ones go
  // with the views.
  if (!list_->parent()) delete list_;
  if (!tree_->parent()) delete tree_;
}

// ---------------------------------------------------------------- rows

const QtGroupViews::Row* QtGroupViews::row(RowId id) const {
  auto it = rows_.find(id);
  return it == rows_.end() ? nullptr : &it->second;
}

QtGroupViews::Row* QtGroupViews::row(RowId id) {
  auto it = rows_.find(id);
  return it == rows_.end() ? nullptr : &it->second;
}

void QtGroupViews::showRowIcon(const Row& r) {
  r.item->setIcon(0, pairIcon(r.stateImage == 1 ? kCurrentMark : kImageNone, r.image));
}

RowId QtGroupViews::addRow(Tradio* radio) {
  RowId id = nextRow_++;
  auto* item = new QTreeWidgetItem(list_);
  item->setData(0, kIdRole, id);
  item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  rows_[id] = Row{item, radio, 0, kImageNone, 0};
  return id;
}

void QtGroupViews::deleteRow(RowId id) {
  Row* r = row(id);
  if (!r) return;
  delete r->item;
  rows_.erase(id);
}

int QtGroupViews::rowCount() const {
  return list_->topLevelItemCount();
}

RowId QtGroupViews::rowAt(int index) const {
  return rowOf(list_->topLevelItem(index));
}

int QtGroupViews::rowIndex(RowId id) const {
  const Row* r = row(id);
  return r ? list_->indexOfTopLevelItem(r->item) : -1;
}

RowId QtGroupViews::rowOf(const QTreeWidgetItem* item) const {
  if (!item || item->treeWidget() != list_) return kNoRow;
  return item->data(0, kIdRole).toInt();
}

Tradio* QtGroupViews::rowRadio(RowId id) const {
  const Row* r = row(id);
  return r ? r->radio : nullptr;
}

std::string QtGroupViews::caption(RowId id) const {
  const Row* r = row(id);
  return r ? latin1(r->item->text(0)) : std::string();
}

void QtGroupViews::setCaption(RowId id, const std::string& text) {
  if (Row* r = row(id)) r->item->setText(0, qt(text));
}

int QtGroupViews::subItemCount(RowId id) const {
  const Row* r = row(id);
  return r ? r->subItems : 0;
}

std::string QtGroupViews::subItem(RowId id, int index) const {
  const Row* r = row(id);
  if (!r || index < 0 || index >= r->subItems) return std::string();
  return latin1(r->item->text(index + 1));
}

namespace {
// A dot in the quality's colour inside a ring of the opposite lightness, so
// it stands out on light and dark rows alike; the three also differ in
// shape (full, half, empty) for readers who do not tell the colours apart.
QIcon qualityMark(SignalQuality q) {
  static QIcon marks[4];
  static bool drawn = false;
  if (!drawn) {
    drawn = true;
    const QColor fill[] = {QColor(), QColor(0x1a, 0x9e, 0x3a), QColor(0xe0, 0x9a, 0x00),
                           QColor(0xd0, 0x25, 0x25)};
    for (int i = 1; i < 4; ++i) {
      QPixmap pm(12, 12);
      pm.fill(Qt::transparent);
      QPainter p(&pm);
      p.setRenderHint(QPainter::Antialiasing);
      p.setPen(QPen(Qt::white, 3));
      p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
      p.setPen(QPen(fill[i], 1.6));
      p.setBrush(i == 1 ? QBrush(fill[i]) : QBrush(Qt::NoBrush));
      p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
      if (i == 2) p.drawPie(QRectF(1.5, 1.5, 9, 9), 90 * 16, 180 * 16);
      p.end();
      marks[i] = unchangedWhenSelected(pm);
    }
  }
  return marks[static_cast<int>(q)];
}
}  // namespace

void QtGroupViews::setSubItem(RowId id, int index, const std::string& text) {
  Row* r = row(id);
  if (!r || index < 0 || index > 64) return;
  // Only this cell changes: a monitor of a large group must not redraw
  // the whole list for every reply.
  const int column = index + 1;
  const QString shown = qt(text);
  if (r->item->text(column) != shown) r->item->setText(column, shown);
  if (index > 0) r->item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
  if (index >= r->subItems) r->subItems = index + 1;
}

void QtGroupViews::setSignalQuality(RowId id, SignalQuality q) {
  Row* r = row(id);
  if (!r || (r->qualityShown && r->quality == q)) return;
  r->quality = q;
  r->qualityShown = true;
  const int column = kRssiSubItem + 1;
  r->item->setIcon(column, qualityMark(q));
  const QString name = QLatin1String(qualityName(q));
  r->item->setData(column, Qt::AccessibleDescriptionRole,
                   name.isEmpty() ? QString() : QStringLiteral("signal ") + name);
  r->item->setToolTip(column, name.isEmpty() ? QString() : QStringLiteral("Signal: ") + name);
}

QString QtGroupViews::signalQualityText(RowId id) const {
  const Row* r = row(id);
  if (!r) return QString();
  return r->item->data(kRssiSubItem + 1, Qt::AccessibleDescriptionRole).toString();
}

int QtGroupViews::image(RowId id) const {
  const Row* r = row(id);
  return r ? r->image : kImageNone;
}

void QtGroupViews::setImage(RowId id, int image) {
  if (Row* r = row(id)) {
    if (r->image == image) return;
    r->image = image;
    showRowIcon(*r);
  }
}

int QtGroupViews::stateImage(RowId id) const {
  const Row* r = row(id);
  return r ? r->stateImage : 0;
}

void QtGroupViews::setStateImage(RowId id, int image) {
  if (Row* r = row(id)) {
    if (r->stateImage == image) return;
    r->stateImage = image;
    showRowIcon(*r);
  }
}

void QtGroupViews::selectRow(RowId id) {
  const Row* r = row(id);
  list_->setCurrentItem(r ? r->item : nullptr);
}

void QtGroupViews::applyColumnWidths() {
  // A column fitted to its text is fitted before any value is in: it is
  // made wide enough for the widest value it will show (and the RSSI's
  // quality mark), or the values would come in cut.
  static const char* const kWidest[kMonitorColumns] = {"", "", "-100", "13.2", "-40", "00:00:00"};
  const QFontMetrics fm(list_->font());
  const int padding =
      2 * list_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list_) + 8;
  for (int c = kBasicColumns; c < list_->columnCount(); ++c) {
    const int w = columnWidths[static_cast<size_t>(c)];
    if (w >= 0) {
      list_->setColumnWidth(c, w);
      continue;
    }
    list_->resizeColumnToContents(c);
    int widest = fm.horizontalAdvance(QLatin1String(kWidest[c])) + padding;
    if (c == kBasicColumns) widest += list_->iconSize().width();
    if (list_->columnWidth(c) < widest) list_->setColumnWidth(c, widest);
  }
}

void QtGroupViews::setMonitorColumns(bool on) {
  if (on) {
    if (list_->columnCount() < 5) {
      // Creating and fitting the columns is no resize by the user.
      applyingWidths_ = true;
      list_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("ID"), QStringLiteral("RSSI"),
                              QStringLiteral("V"), QString::fromUtf8("\u00b0C"),
                              QStringLiteral("Last Poll")});
      for (int c = 1; c < kMonitorColumns; ++c)
        list_->headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
      applyColumnWidths();
      applyingWidths_ = false;
    }
  } else {
    applyingWidths_ = true;
    list_->setColumnCount(kBasicColumns);
    applyingWidths_ = false;
    // The RSSI cells went with their marks.
    for (auto& entry : rows_) entry.second.qualityShown = false;
  }
}

bool QtGroupViews::monitorColumns() const {
  return list_->columnCount() >= 5;
}

// ---------------------------------------------------------------- tree

QTreeWidgetItem* QtGroupViews::nodeItem(NodeId id) const {
  auto it = nodes_.find(id);
  return it == nodes_.end() ? nullptr : it->second.item;
}

NodeId QtGroupViews::nodeOf(const QTreeWidgetItem* item) const {
  if (!item || item->treeWidget() != tree_) return kNoNode;
  return item->data(0, kIdRole).toInt();
}

void QtGroupViews::showNodeIcon(const Node& n) {
  n.item->setIcon(0, pairIcon(n.stateImage, n.image));
}

NodeId QtGroupViews::addNode(NodeId parent, const std::string& text) {
  QTreeWidgetItem* p = parent == kNoNode ? nullptr : nodeItem(parent);
  if (parent != kNoNode && !p) return kNoNode;
  NodeId id = nextNode_++;
  auto* item = p ? new QTreeWidgetItem(p) : new QTreeWidgetItem(tree_);
  item->setData(0, kIdRole, id);
  item->setText(0, qt(text));
  nodes_[id] = Node{item, kImageNone, kImageNone};
  return id;
}

void QtGroupViews::forgetNodes(QTreeWidgetItem* item) {
  for (int i = 0; i < item->childCount(); ++i) forgetNodes(item->child(i));
  nodes_.erase(nodeOf(item));
}

void QtGroupViews::deleteNode(NodeId node) {
  QTreeWidgetItem* item = nodeItem(node);
  if (!item) return;
  forgetNodes(item);
  delete item;
}

void QtGroupViews::clearTree() {
  tree_->clear();
  nodes_.clear();
}

bool QtGroupViews::nodeExists(NodeId node) const {
  return nodes_.count(node) != 0;
}

NodeId QtGroupViews::nodeParent(NodeId node) const {
  QTreeWidgetItem* item = nodeItem(node);
  return item ? nodeOf(item->parent()) : kNoNode;
}

std::vector<NodeId> QtGroupViews::children(NodeId parent) const {
  std::vector<NodeId> out;
  if (parent == kNoNode) {
    for (int i = 0; i < tree_->topLevelItemCount(); ++i)
      out.push_back(nodeOf(tree_->topLevelItem(i)));
  } else if (QTreeWidgetItem* p = nodeItem(parent)) {
    for (int i = 0; i < p->childCount(); ++i) out.push_back(nodeOf(p->child(i)));
  }
  return out;
}

void QtGroupViews::moveNode(NodeId node, NodeId newParent) {
  QTreeWidgetItem* item = nodeItem(node);
  if (!item) return;
  QTreeWidgetItem* target = newParent == kNoNode ? nullptr : nodeItem(newParent);
  if (newParent != kNoNode && !target) return;
  // A node cannot become its own descendant.
  for (QTreeWidgetItem* a = target; a; a = a->parent())
    if (a == item) return;
  QTreeWidgetItem* taken = item->parent()
                               ? item->parent()->takeChild(item->parent()->indexOfChild(item))
                               : tree_->takeTopLevelItem(tree_->indexOfTopLevelItem(item));
  if (target)
    target->addChild(taken);
  else
    tree_->addTopLevelItem(taken);
}

std::string QtGroupViews::nodeText(NodeId node) const {
  QTreeWidgetItem* item = nodeItem(node);
  return item ? latin1(item->text(0)) : std::string();
}

void QtGroupViews::setNodeText(NodeId node, const std::string& text) {
  if (QTreeWidgetItem* item = nodeItem(node)) item->setText(0, qt(text));
}

int QtGroupViews::nodeImage(NodeId node) const {
  auto it = nodes_.find(node);
  return it == nodes_.end() ? kImageNone : it->second.image;
}

void QtGroupViews::setNodeImage(NodeId node, int image) {
  auto it = nodes_.find(node);
  if (it == nodes_.end() || it->second.image == image) return;
  it->second.image = image;
  showNodeIcon(it->second);
}

int QtGroupViews::nodeStateImage(NodeId node) const {
  auto it = nodes_.find(node);
  return it == nodes_.end() ? kImageNone : it->second.stateImage;
}

void QtGroupViews::setNodeStateImage(NodeId node, int image) {
  auto it = nodes_.find(node);
  if (it == nodes_.end() || it->second.stateImage == image) return;
  it->second.stateImage = image;
  showNodeIcon(it->second);
}

void QtGroupViews::expand(NodeId node) {
  if (QTreeWidgetItem* item = nodeItem(node)) item->setExpanded(true);
}

bool QtGroupViews::isExpanded(NodeId node) const {
  QTreeWidgetItem* item = nodeItem(node);
  return item && item->isExpanded();
}

void QtGroupViews::repaintTree() {
  tree_->viewport()->update();
}

}  // namespace tessel
