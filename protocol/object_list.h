// The launcher's one container: an ordered, doubly linked list of untyped object
// pointers. It never owns what its elements point to: whoever puts an object in
// deletes it, usually right after taking it out. Elements are compared by pointer
// identity, and a null element is stored like any other.
//
// A position is a handle of one node; it stays valid until that node is removed.
// Iterate with GetHeadPosition and GetNext until the position is null; to remove
// while iterating, fetch the next position first, then RemoveAt the current one.
// A position given to this list must be one of its own nodes.
#pragma once

#include <cstdint>

class CZkObList {
 private:
  struct Node;

 public:
  using Position = Node*;

  CZkObList() = default;
  CZkObList(const CZkObList&) = delete;
  CZkObList& operator=(const CZkObList&) = delete;

  // Removes all nodes, not the elements.
  virtual ~CZkObList();

  virtual bool IsEmpty() const;
  virtual int32_t GetCount() const;
  // Null when the list is empty.
  virtual void* GetHead() const;
  virtual void* GetTail() const;
  virtual Position GetHeadPosition() const;
  virtual Position GetTailPosition() const;
  // The node's element; null for no position.
  virtual void* GetAt(Position position) const;
  // The element at *position; *position moves to the next (previous) node, null
  // after the last (first).
  virtual void* GetNext(Position* position) const;
  virtual void* GetPrev(Position* position) const;
  // The first node from the head holding the pointer, or null.
  virtual Position Find(const void* element) const;
  // The node at a 0-based index, or null when the index is out of range.
  virtual Position FindIndex(int32_t index) const;

  // The adders return the new node, or null (nothing added) when memory runs out.
  virtual Position AddHead(void* element);
  virtual Position Add(void* element);  // same as AddTail
  virtual Position AddTail(void* element);
  // Inserts before the node; with no position, appends.
  virtual Position InsertBefore(Position position, void* element);

  virtual bool Contains(const void* element) const;
  // Removes the first node holding the pointer; nothing when absent.
  virtual void Remove(const void* element);
  // Remove the end node and return its element; null when empty.
  virtual void* RemoveHead();
  virtual void* RemoveTail();
  // Nothing for no position.
  virtual void RemoveAt(Position position);
  virtual void RemoveAll();

 private:
  Position LinkNew(Position before, void* element);

  Node* head_ = nullptr;
  Node* tail_ = nullptr;
  int32_t count_ = 0;
};
