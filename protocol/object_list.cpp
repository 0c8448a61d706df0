#include "protocol/object_list.h"

#include <new>

struct CZkObList::Node {
  Node* prev;
  Node* next;
  void* element;
};

CZkObList::~CZkObList() { RemoveAll(); }

bool CZkObList::IsEmpty() const { return head_ == nullptr; }

int32_t CZkObList::GetCount() const { return count_; }

void* CZkObList::GetHead() const { return head_ ? head_->element : nullptr; }

void* CZkObList::GetTail() const { return tail_ ? tail_->element : nullptr; }

CZkObList::Position CZkObList::GetHeadPosition() const { return head_; }

CZkObList::Position CZkObList::GetTailPosition() const { return tail_; }

void* CZkObList::GetAt(Position position) const {
  return position ? position->element : nullptr;
}

void* CZkObList::GetNext(Position* position) const {
  if (position == nullptr || *position == nullptr) return nullptr;
  Node* node = *position;
  *position = node->next;
  return node->element;
}

void* CZkObList::GetPrev(Position* position) const {
  if (position == nullptr || *position == nullptr) return nullptr;
  Node* node = *position;
  *position = node->prev;
  return node->element;
}

CZkObList::Position CZkObList::Find(const void* element) const {
  for (Node* node = head_; node; node = node->next) {
    if (node->element == element) return node;
  }
  return nullptr;
}

// Walks from the nearer end.
CZkObList::Position CZkObList::FindIndex(int32_t index) const {
  if (index < 0 || index >= count_) return nullptr;
  Node* node;
  if (index < count_ / 2) {
    node = head_;
    for (int32_t i = 0; i < index; ++i) node = node->next;
  } else {
    node = tail_;
    for (int32_t i = count_ - 1; i > index; --i) node = node->prev;
  }
  return node;
}

CZkObList::Position CZkObList::AddHead(void* element) { return LinkNew(head_, element); }

CZkObList::Position CZkObList::Add(void* element) { return AddTail(element); }

CZkObList::Position CZkObList::AddTail(void* element) { return LinkNew(nullptr, element); }

CZkObList::Position CZkObList::InsertBefore(Position position, void* element) {
  return LinkNew(position, element);
}

// A new node before `before`, or at the end when there is none.
CZkObList::Position CZkObList::LinkNew(Position before, void* element) {
  Node* node = new (std::nothrow) Node{nullptr, before, element};
  if (node == nullptr) return nullptr;
  node->prev = before ? before->prev : tail_;
  if (node->prev) {
    node->prev->next = node;
  } else {
    head_ = node;
  }
  if (before) {
    before->prev = node;
  } else {
    tail_ = node;
  }
  ++count_;
  return node;
}

bool CZkObList::Contains(const void* element) const { return Find(element) != nullptr; }

void CZkObList::Remove(const void* element) { RemoveAt(Find(element)); }

void* CZkObList::RemoveHead() {
  void* element = GetHead();
  RemoveAt(head_);
  return element;
}

void* CZkObList::RemoveTail() {
  void* element = GetTail();
  RemoveAt(tail_);
  return element;
}

void CZkObList::RemoveAt(Position position) {
  if (position == nullptr) return;
  if (position->prev) {
    position->prev->next = position->next;
  } else {
    head_ = position->next;
  }
  if (position->next) {
    position->next->prev = position->prev;
  } else {
    tail_ = position->prev;
  }
  delete position;
  --count_;
}

void CZkObList::RemoveAll() {
  while (head_) {
    Node* next = head_->next;
    delete head_;
    head_ = next;
  }
  tail_ = nullptr;
  count_ = 0;
}
