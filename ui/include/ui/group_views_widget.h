#pragma once

// The radio list (report view) and the group tree as the core's GroupViews.
#include <QTreeWidget>
#include <array>
#include <map>

#include "model/group_views.h"
#include "model/window_settings.h"

namespace tessel {

class QtGroupViews : public GroupViews {
 public:
  // Creates the two widgets; the main window places them.
  QtGroupViews();
  ~QtGroupViews() override;

  QTreeWidget* list() const { return list_; }
  QTreeWidget* tree() const { return tree_; }

  // Widths of the six monitor columns kept per user; -1 fits to text. The
  // last four apply to the monitor columns.
  std::array<int, kMonitorColumnWidths> columnWidths{{-1, -1, -1, -1, -1, -1}};

  RowId addRow(Tradio* radio) override;
  void deleteRow(RowId row) override;
  int rowCount() const override;
  RowId rowAt(int index) const override;
  int rowIndex(RowId row) const override;
  Tradio* rowRadio(RowId row) const override;
  std::string caption(RowId row) const override;
  void setCaption(RowId row, const std::string& text) override;
  int subItemCount(RowId row) const override;
  std::string subItem(RowId row, int index) const override;
  void setSubItem(RowId row, int index, const std::string& text) override;
  void setSignalQuality(RowId row, SignalQuality quality) override;
  int image(RowId row) const override;
  void setImage(RowId row, int image) override;
  int stateImage(RowId row) const override;
  void setStateImage(RowId row, int image) override;
  void selectRow(RowId row) override;
  void setMonitorColumns(bool on) override;
  bool monitorColumns() const;

  NodeId addNode(NodeId parent, const std::string& text) override;
  void deleteNode(NodeId node) override;
  void clearTree() override;
  bool nodeExists(NodeId node) const override;
  NodeId nodeParent(NodeId node) const override;
  std::vector<NodeId> children(NodeId parent) const override;
  void moveNode(NodeId node, NodeId newParent) override;
  std::string nodeText(NodeId node) const override;
  void setNodeText(NodeId node, const std::string& text) override;
  int nodeImage(NodeId node) const override;
  void setNodeImage(NodeId node, int image) override;
  int nodeStateImage(NodeId node) const override;
  void setNodeStateImage(NodeId node, int image) override;
  void expand(NodeId node) override;
  bool isExpanded(NodeId node) const override;
  void repaintTree() override;

  // The sub-item that holds the RSSI in the monitor layout.
  static constexpr int kRssiSubItem = 1;
  // "signal good" / "fair" / "poor" for a row's RSSI cell, empty for none.
  QString signalQualityText(RowId row) const;

  // The row or node of a widget item (kNoRow / kNoNode for none).
  RowId rowOf(const QTreeWidgetItem* item) const;
  NodeId nodeOf(const QTreeWidgetItem* item) const;

 private:
  struct Row {
    QTreeWidgetItem* item = nullptr;
    Tradio* radio = nullptr;
    int subItems = 0;  // sub-items set so far (the ID column counts as 0)
    int image = kImageNone;
    int stateImage = 0;
    // The signal mark the RSSI cell shows, once one was set.
    SignalQuality quality = SignalQuality{};
    bool qualityShown = false;
  };
  struct Node {
    QTreeWidgetItem* item = nullptr;
    int image = kImageNone;
    int stateImage = kImageNone;
  };
  const Row* row(RowId id) const;
  Row* row(RowId id);
  QTreeWidgetItem* nodeItem(NodeId id) const;
  void forgetNodes(QTreeWidgetItem* item);
  void showRowIcon(const Row& r);
  void showNodeIcon(const Node& n);
  void applyColumnWidths();

  QTreeWidget* list_;
  QTreeWidget* tree_;
  std::map<RowId, Row> rows_;
  std::map<NodeId, Node> nodes_;
  RowId nextRow_ = 1;
  NodeId nextNode_ = 1;
  bool applyingWidths_ = false;
};

}  // namespace tessel
