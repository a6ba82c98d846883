#include "kx-persistent.h"

// ---- Owned persistent ------------------------------------------------------

void TkxOwnedPersistent::Assign(const TPersistent* ASource) {
  if (ASource && IsOfOwnClass(ASource))
    DoAssign(ASource);
  else
    TPersistent::Assign(ASource);
}

// ---- Free notificator ------------------------------------------------------

void TkxFreeNotificator::AddSender(TComponent* ASender) {
  if (ASender)
    ASender->FreeNotification(this);
}

void TkxFreeNotificator::RemoveSender(TComponent* ASender) {
  if (ASender)
    ASender->RemoveFreeNotification(this);
}

void TkxFreeNotificator::Notification(TComponent* AComponent, TOperation AOperation) {
  TComponent::Notification(AComponent, AOperation);
  if (AOperation == opRemove && OnFreeNotification)
    OnFreeNotification(AComponent);
}

// ---- Doubly linked list ----------------------------------------------------

TkxDoublyLinkedObjectList::~TkxDoublyLinkedObjectList() {
  Clear();
}

TkxDoublyLinkedObject* TkxDoublyLinkedObjectList::CreateLinkedObject() {
  return ItemClass()();
}

TkxDoublyLinkedObject* TkxDoublyLinkedObjectList::Add() {
  TkxDoublyLinkedObject* object = CreateLinkedObject();
  object->FPrev = FLast;
  object->FNext = nullptr;
  if (FLast)
    FLast->FNext = object;
  FLast = object;
  return object;
}

void TkxDoublyLinkedObjectList::Delete(TkxDoublyLinkedObject* ALinkedObject) {
  if (!ALinkedObject)
    return;
  if (ALinkedObject->FNext)
    ALinkedObject->FNext->FPrev = ALinkedObject->FPrev;
  else
    FLast = ALinkedObject->FPrev;
  if (ALinkedObject->FPrev)
    ALinkedObject->FPrev->FNext = ALinkedObject->FNext;
}

void TkxDoublyLinkedObjectList::Remove(TkxDoublyLinkedObject*& ALinkedObject) {
  TkxDoublyLinkedObject* object = ALinkedObject;
  Delete(object);
  ALinkedObject = nullptr;
  delete object;
}

void TkxDoublyLinkedObjectList::InsertBefore(TkxDoublyLinkedObject* ADestination,
                                             TkxDoublyLinkedObject* ASource) {
  ASource->FPrev = ADestination->FPrev;
  if (ADestination->FPrev)
    ADestination->FPrev->FNext = ASource;
  ADestination->FPrev = ASource;
  ASource->FNext = ADestination;
}

void TkxDoublyLinkedObjectList::InsertAfter(TkxDoublyLinkedObject* ADestination,
                                            TkxDoublyLinkedObject* ASource) {
  ASource->FNext = ADestination->FNext;
  if (ADestination->FNext)
    ADestination->FNext->FPrev = ASource;
  else
    FLast = ASource;
  ADestination->FNext = ASource;
  ASource->FPrev = ADestination;
}

void TkxDoublyLinkedObjectList::Clear() {
  while (FLast) {
    TkxDoublyLinkedObject* previous = FLast->FPrev;
    delete FLast;
    FLast = previous;
    if (FLast)
      FLast->FNext = nullptr;
  }
}

int TkxDoublyLinkedObjectList::Count() const {
  int count = 0;
  for (const TkxDoublyLinkedObject* object = FLast; object; object = object->FPrev)
    ++count;
  return count;
}

TkxDoublyLinkedObject* TkxDoublyLinkedObjectList::First() const {
  TkxDoublyLinkedObject* object = FLast;
  while (object && object->FPrev)
    object = object->FPrev;
  return object;
}
