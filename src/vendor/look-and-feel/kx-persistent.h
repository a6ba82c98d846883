#pragma once

// The small bases the look-and-feel objects, the geometry objects and the
// edit control library build on: persistent objects that know their owner,
// a component that reports freed components, and an intrusive doubly linked
// list that owns its elements.

#include "gx-core.h"

#include "classes.h"
#include "persistent.h"

#include <functional>

// A persistent object that may implement interfaces while its owner keeps
// its lifetime under explicit control.
class TkxInterfacedPersistent : public TPersistent {
public:
  explicit TkxInterfacedPersistent(TPersistent* AOwner) : FOwner(AOwner) {}
  std::wstring ClassName() const override { return L"TkxInterfacedPersistent"; }
  TPersistent* GetOwner() const override { return FOwner; }

protected:
  TPersistent* FOwner;
};

// A persistent object with an owner whose Assign copies from an object of
// its own class (or one derived from it) through DoAssign.
class TkxOwnedPersistent : public TPersistent {
public:
  explicit TkxOwnedPersistent(TPersistent* AOwner) : FOwner(AOwner) {}
  std::wstring ClassName() const override { return L"TkxOwnedPersistent"; }
  TPersistent* GetOwner() const override { return FOwner; }
  // A source of another class goes to the inherited assignment, which
  // raises EConvertError unless the source knows the receiver.
  void Assign(const TPersistent* ASource) override;

protected:
  // Copies the state of ASource, which IsOfOwnClass accepted.
  virtual void DoAssign(const TPersistent* /*ASource*/) {}
  // Whether ASource is of the receiver's class or derived from it; each
  // class that adds state answers for itself (see IsInstanceOf).
  virtual bool IsOfOwnClass(const TPersistent* ASource) const {
    return IsInstanceOf<TkxOwnedPersistent>(ASource);
  }
  template <typename T> static bool IsInstanceOf(const TPersistent* ASource) {
    return dynamic_cast<const T*>(ASource) != nullptr;
  }

  TPersistent* FOwner;
};

using TkxFreeNotificationEvent = std::function<void(TComponent* AComponent)>;

// Hears when the components it watches are freed.
class TkxFreeNotificator : public TComponent {
public:
  explicit TkxFreeNotificator(TComponent* AOwner) : TComponent(AOwner) {}
  std::wstring ClassName() const override { return L"TkxFreeNotificator"; }
  // Nil is ignored.
  void AddSender(TComponent* ASender);
  void RemoveSender(TComponent* ASender);
  TkxFreeNotificationEvent OnFreeNotification;

protected:
  void Notification(TComponent* AComponent, TOperation AOperation) override;
};

// An element of a doubly linked list; nil neighbours at the ends.
class TkxDoublyLinkedObject {
public:
  TkxDoublyLinkedObject() = default;
  TkxDoublyLinkedObject(const TkxDoublyLinkedObject&) = delete;
  TkxDoublyLinkedObject& operator=(const TkxDoublyLinkedObject&) = delete;
  virtual ~TkxDoublyLinkedObject() = default;
  TkxDoublyLinkedObject* Prev() const { return FPrev; }
  TkxDoublyLinkedObject* Next() const { return FNext; }

private:
  friend class TkxDoublyLinkedObjectList;
  TkxDoublyLinkedObject* FPrev = nullptr;
  TkxDoublyLinkedObject* FNext = nullptr;
};

// Makes one element of a list's element class.
using TkxDoublyLinkedObjectClass = TkxDoublyLinkedObject* (*)();
template <typename T> TkxDoublyLinkedObject* MakeLinkedObject() {
  return new T;
}

// A list that knows only its last element (no first, no count: both are
// walked) and owns its elements.
class TkxDoublyLinkedObjectList {
public:
  TkxDoublyLinkedObjectList() = default;
  TkxDoublyLinkedObjectList(const TkxDoublyLinkedObjectList&) = delete;
  TkxDoublyLinkedObjectList& operator=(const TkxDoublyLinkedObjectList&) = delete;
  virtual ~TkxDoublyLinkedObjectList();

  // Makes an element and links it at the end.
  virtual TkxDoublyLinkedObject* Add();
  // Unlinks the element without freeing it; its own links stay as they
  // were until it is inserted again.
  virtual void Delete(TkxDoublyLinkedObject* ALinkedObject);
  // Unlinks and frees the element, and clears the caller's pointer.
  virtual void Remove(TkxDoublyLinkedObject*& ALinkedObject);
  // Link ASource, which is in no list, before or after ADestination.
  void InsertBefore(TkxDoublyLinkedObject* ADestination, TkxDoublyLinkedObject* ASource);
  void InsertAfter(TkxDoublyLinkedObject* ADestination, TkxDoublyLinkedObject* ASource);
  // Frees the elements, the last first.
  void Clear();

  int Count() const;
  TkxDoublyLinkedObject* First() const;
  TkxDoublyLinkedObject* Last() const { return FLast; }

protected:
  virtual TkxDoublyLinkedObject* CreateLinkedObject();
  // The element class; descendant lists answer their own.
  virtual TkxDoublyLinkedObjectClass ItemClass() const {
    return &MakeLinkedObject<TkxDoublyLinkedObject>;
  }

private:
  TkxDoublyLinkedObject* FLast = nullptr;
};
