#include <algorithm>

#include "model/group_views.h"

namespace tessel {

MemoryGroupViews::Row* MemoryGroupViews::row(RowId id) {
  auto it = rows_.find(id);
  return it == rows_.end() ? nullptr : &it->second;
}

const MemoryGroupViews::Row* MemoryGroupViews::row(RowId id) const {
  auto it = rows_.find(id);
  return it == rows_.end() ? nullptr : &it->second;
}

MemoryGroupViews::Node* MemoryGroupViews::node(NodeId id) {
  auto it = nodes_.find(id);
  return it == nodes_.end() ? nullptr : &it->second;
}

const MemoryGroupViews::Node* MemoryGroupViews::node(NodeId id) const {
  auto it = nodes_.find(id);
  return it == nodes_.end() ? nullptr : &it->second;
}

RowId MemoryGroupViews::addRow(Tradio* radio) {
  RowId id = nextRow_++;
  rows_[id].radio = radio;
  order_.push_back(id);
  return id;
}

void MemoryGroupViews::deleteRow(RowId id) {
  if (!rows_.erase(id)) return;
  order_.erase(std::remove(order_.begin(), order_.end(), id), order_.end());
  if (selected_ == id) selected_ = kNoRow;
}

RowId MemoryGroupViews::rowAt(int index) const {
  if (index < 0 || index >= static_cast<int>(order_.size())) return kNoRow;
  return order_[index];
}

int MemoryGroupViews::rowIndex(RowId id) const {
  auto it = std::find(order_.begin(), order_.end(), id);
  return it == order_.end() ? -1 : static_cast<int>(it - order_.begin());
}

Tradio* MemoryGroupViews::rowRadio(RowId id) const {
  const Row* r = row(id);
  return r ? r->radio : nullptr;
}

std::string MemoryGroupViews::caption(RowId id) const {
  const Row* r = row(id);
  return r ? r->caption : std::string();
}

void MemoryGroupViews::setCaption(RowId id, const std::string& text) {
  if (Row* r = row(id)) r->caption = text;
}

int MemoryGroupViews::subItemCount(RowId id) const {
  const Row* r = row(id);
  return r ? static_cast<int>(r->subItems.size()) : 0;
}

std::string MemoryGroupViews::subItem(RowId id, int index) const {
  const Row* r = row(id);
  if (!r || index < 0 || index >= static_cast<int>(r->subItems.size())) return std::string();
  return r->subItems[index];
}

void MemoryGroupViews::setSubItem(RowId id, int index, const std::string& text) {
  Row* r = row(id);
  if (!r || index < 0) return;
  if (index >= static_cast<int>(r->subItems.size())) r->subItems.resize(index + 1);
  r->subItems[index] = text;
}

int MemoryGroupViews::image(RowId id) const {
  const Row* r = row(id);
  return r ? r->image : kImageNone;
}

void MemoryGroupViews::setImage(RowId id, int image) {
  if (Row* r = row(id)) r->image = image;
}

int MemoryGroupViews::stateImage(RowId id) const {
  const Row* r = row(id);
  return r ? r->stateImage : kImageNone;
}

void MemoryGroupViews::setStateImage(RowId id, int image) {
  if (Row* r = row(id)) r->stateImage = image;
}

NodeId MemoryGroupViews::addNode(NodeId parent, const std::string& text) {
  Node* p = node(parent);
  if (parent != kNoNode && !p) return kNoNode;
  NodeId id = nextNode_++;
  Node& n = nodes_[id];
  n.parent = parent;
  n.text = text;
  (p ? node(parent)->children : top_).push_back(id);
  return id;
}

void MemoryGroupViews::unlink(NodeId id) {
  Node* n = node(id);
  if (!n) return;
  std::vector<NodeId>& siblings = n->parent == kNoNode ? top_ : node(n->parent)->children;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), id), siblings.end());
}

void MemoryGroupViews::deleteNode(NodeId id) {
  if (!node(id)) return;
  unlink(id);
  std::vector<NodeId> pending{id};
  while (!pending.empty()) {
    NodeId cur = pending.back();
    pending.pop_back();
    auto it = nodes_.find(cur);
    if (it == nodes_.end()) continue;
    pending.insert(pending.end(), it->second.children.begin(), it->second.children.end());
    nodes_.erase(it);
  }
}

void MemoryGroupViews::clearTree() {
  nodes_.clear();
  top_.clear();
}

NodeId MemoryGroupViews::nodeParent(NodeId id) const {
  const Node* n = node(id);
  return n ? n->parent : kNoNode;
}

std::vector<NodeId> MemoryGroupViews::children(NodeId parent) const {
  if (parent == kNoNode) return top_;
  const Node* n = node(parent);
  return n ? n->children : std::vector<NodeId>();
}

void MemoryGroupViews::moveNode(NodeId id, NodeId newParent) {
  Node* n = node(id);
  if (!n || id == newParent) return;
  if (newParent != kNoNode) {
    // A node never moves below itself.
    for (NodeId up = newParent; up != kNoNode; up = nodeParent(up)) {
      if (up == id || !node(up)) return;
    }
  }
  unlink(id);
  n->parent = newParent;
  (newParent == kNoNode ? top_ : node(newParent)->children).push_back(id);
}

std::string MemoryGroupViews::nodeText(NodeId id) const {
  const Node* n = node(id);
  return n ? n->text : std::string();
}

void MemoryGroupViews::setNodeText(NodeId id, const std::string& text) {
  if (Node* n = node(id)) n->text = text;
}

int MemoryGroupViews::nodeImage(NodeId id) const {
  const Node* n = node(id);
  return n ? n->image : kImageNone;
}

void MemoryGroupViews::setNodeImage(NodeId id, int image) {
  if (Node* n = node(id)) n->image = image;
}

int MemoryGroupViews::nodeStateImage(NodeId id) const {
  const Node* n = node(id);
  return n ? n->stateImage : kImageNone;
}

void MemoryGroupViews::setNodeStateImage(NodeId id, int image) {
  if (Node* n = node(id)) n->stateImage = image;
}

void MemoryGroupViews::expand(NodeId id) {
  if (Node* n = node(id)) n->expanded = true;
}

bool MemoryGroupViews::isExpanded(NodeId id) const {
  const Node* n = node(id);
  return n && n->expanded;
}

}  // namespace tessel
