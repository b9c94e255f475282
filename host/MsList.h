// std::list as Microsoft's C++ standard library lays it out (x64, Release): a pointer to a
// sentinel node and a count. The sentinel's next is the first node and its prev the last; an
// empty list's sentinel points to itself both ways. Nodes, the sentinel included, are allocated
// by the rule of host/MsAllocator.h with the size of a whole node.
#pragma once

#include "host/MsAllocator.h"

#include <cstddef>

namespace msstl {

template <typename T> struct ListNode {
    ListNode* next;
    ListNode* prev;
    T value;
};

template <typename T> struct List {
    ListNode<T>* head; // the sentinel; its value is never constructed
    size_t size;
};

static_assert(sizeof(List<int>) == 16, "std::list is 16 bytes");

// Makes raw memory an empty list. Throws std::bad_alloc.
template <typename T> void ConstructList(List<T>& list) {
    ListNode<T>* sentinel = static_cast<ListNode<T>*>(Allocate(sizeof(ListNode<T>)));
    sentinel->next = sentinel;
    sentinel->prev = sentinel;
    list.head = sentinel;
    list.size = 0;
}

// Appends a node whose value construct(T&) makes out of raw memory. When construct throws, the
// node is freed and the list stays as it was.
template <typename T, typename Construct> void Append(List<T>& list, Construct construct) {
    ListNode<T>* node = static_cast<ListNode<T>*>(Allocate(sizeof(ListNode<T>)));
    try {
        construct(node->value);
    } catch (...) {
        Deallocate(node, sizeof(ListNode<T>));
        throw;
    }
    ListNode<T>* last = list.head->prev;
    node->next = list.head;
    node->prev = last;
    last->next = node;
    list.head->prev = node;
    ++list.size;
}

// Calls visit(const T&) for each value, first to last.
template <typename T, typename Visit> void ForEach(const List<T>& list, Visit visit) {
    for (const ListNode<T>* node = list.head->next; node != list.head; node = node->next)
        visit(node->value);
}

// Frees every node and the sentinel, calling destroy(T&) on each value first; list is raw memory
// afterwards.
template <typename T, typename Destroy> void DestroyList(List<T>& list, Destroy destroy) {
    ListNode<T>* node = list.head->next;
    while (node != list.head) {
        ListNode<T>* next = node->next;
        destroy(node->value);
        Deallocate(node, sizeof(ListNode<T>));
        node = next;
    }
    Deallocate(list.head, sizeof(ListNode<T>));
    list.head = nullptr;
    list.size = 0;
}

} // namespace msstl
