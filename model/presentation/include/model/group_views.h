#pragma once

// The two views of the open project's radios as the core sees them: the radio
// list (one row per radio) and the group tree (masters at the top, the radios
// that name them below). ui/ mirrors them with a list view and a tree view;
// the headless front end and the tests use MemoryGroupViews.
#include <map>
#include <string>
#include <vector>

#include "model/signal_quality.h"

namespace tessel {

class Tradio;

// Handles of rows and nodes; never reused while the views live, so a stale
// handle is recognisable.
using RowId = int;
using NodeId = int;
constexpr RowId kNoRow = -1;
constexpr NodeId kNoNode = -1;

// Images of the shared image list.
constexpr int kImageNone = -1;
constexpr int kImageFetching = 0;
constexpr int kImageReading = 1;
constexpr int kImageSent = 2;
constexpr int kImageMaster = 3;
constexpr int kImageSlave = 4;
constexpr int kImageRepeater = 5;

class GroupViews {
 public:
  virtual ~GroupViews() = default;

  // Radio list. Sub-item 0 is the radio ID; in the monitor layout 1 to 4
  // are RSSI, supply volts, temperature and the time of the last poll.
  virtual RowId addRow(Tradio* radio) = 0;
  virtual void deleteRow(RowId row) = 0;
  virtual int rowCount() const = 0;
  virtual RowId rowAt(int index) const = 0;   // kNoRow outside the list
  virtual int rowIndex(RowId row) const = 0;  // -1 for an unknown row
  virtual Tradio* rowRadio(RowId row) const = 0;
  virtual std::string caption(RowId row) const = 0;
  virtual void setCaption(RowId row, const std::string& text) = 0;
  virtual int subItemCount(RowId row) const = 0;
  virtual std::string subItem(RowId row, int index) const = 0;
  // Sets sub-item index, adding empty ones before it where the row has
  // fewer, so each value lands in its own column.
  virtual void setSubItem(RowId row, int index, const std::string& text) = 0;
  // The mark of the RSSI cell: how good the signal its reading shows is.
  virtual void setSignalQuality(RowId /*row*/, SignalQuality /*quality*/) {}
  virtual int image(RowId row) const = 0;
  virtual void setImage(RowId row, int image) = 0;
  virtual int stateImage(RowId row) const = 0;
  virtual void setStateImage(RowId row, int image) = 0;
  virtual void selectRow(RowId row) = 0;
  // The monitor layout adds the four monitor columns; the basic layout
  // removes every column after the second.
  virtual void setMonitorColumns(bool on) = 0;

  // Group tree. kNoNode as parent means the top level.
  virtual NodeId addNode(NodeId parent, const std::string& text) = 0;
  // Deletes the node with its children.
  virtual void deleteNode(NodeId node) = 0;
  virtual void clearTree() = 0;
  virtual bool nodeExists(NodeId node) const = 0;
  virtual NodeId nodeParent(NodeId node) const = 0;
  virtual std::vector<NodeId> children(NodeId parent) const = 0;
  // Makes node the last child of newParent.
  virtual void moveNode(NodeId node, NodeId newParent) = 0;
  virtual std::string nodeText(NodeId node) const = 0;
  virtual void setNodeText(NodeId node, const std::string& text) = 0;
  virtual int nodeImage(NodeId node) const = 0;
  virtual void setNodeImage(NodeId node, int image) = 0;
  virtual int nodeStateImage(NodeId node) const = 0;
  virtual void setNodeStateImage(NodeId node, int image) = 0;
  virtual void expand(NodeId node) = 0;
  virtual bool isExpanded(NodeId node) const = 0;
  virtual void repaintTree() = 0;
};

class MemoryGroupViews : public GroupViews {
 public:
  RowId addRow(Tradio* radio) override;
  void deleteRow(RowId row) override;
  int rowCount() const override { return static_cast<int>(order_.size()); }
  RowId rowAt(int index) const override;
  int rowIndex(RowId row) const override;
  Tradio* rowRadio(RowId row) const override;
  std::string caption(RowId row) const override;
  void setCaption(RowId row, const std::string& text) override;
  int subItemCount(RowId row) const override;
  std::string subItem(RowId row, int index) const override;
  void setSubItem(RowId row, int index, const std::string& text) override;
  int image(RowId row) const override;
  void setImage(RowId row, int image) override;
  int stateImage(RowId row) const override;
  void setStateImage(RowId row, int image) override;
  void selectRow(RowId row) override { selected_ = row; }
  void setMonitorColumns(bool on) override { monitorColumns_ = on; }

  NodeId addNode(NodeId parent, const std::string& text) override;
  void deleteNode(NodeId node) override;
  void clearTree() override;
  bool nodeExists(NodeId node) const override { return nodes_.count(node) != 0; }
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
  void repaintTree() override {}

  RowId selectedRow() const { return selected_; }
  bool monitorColumns() const { return monitorColumns_; }
  int nodeCount() const { return static_cast<int>(nodes_.size()); }

 private:
  struct Row {
    Tradio* radio = nullptr;
    std::string caption;
    std::vector<std::string> subItems;
    int image = kImageNone;
    int stateImage = 0;
  };
  struct Node {
    NodeId parent = kNoNode;
    std::vector<NodeId> children;
    std::string text;
    int image = kImageNone;
    int stateImage = kImageNone;
    bool expanded = false;
  };
  Row* row(RowId id);
  const Row* row(RowId id) const;
  Node* node(NodeId id);
  const Node* node(NodeId id) const;
  void unlink(NodeId id);

  std::map<RowId, Row> rows_;
  std::vector<RowId> order_;
  std::map<NodeId, Node> nodes_;
  std::vector<NodeId> top_;
  RowId nextRow_ = 1;
  NodeId nextNode_ = 1;
  RowId selected_ = kNoRow;
  bool monitorColumns_ = false;
};

}  // namespace tessel
