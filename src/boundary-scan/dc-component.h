#pragma once

// The component base of the parser support library: an owner that frees
// what it owns, a name, loading from a stored form (with Loaded after it),
// and notification of other components when one is destroyed. Classes that
// the class registry names carry a TDCClassInfo: their name and parent.

#include <cstdint>
#include <string>
#include <vector>

struct TDCClassInfo {
  const wchar_t* ClassName;
  const TDCClassInfo* ClassParent;

  // True when this class is AClass or descends from it.
  bool InheritsFrom(const TDCClassInfo* AClass) const;
};
// A class reference.
using TDCClass = const TDCClassInfo*;

enum class TDCOperation { opInsert, opRemove };

class TDCComponent {
public:
  static const TDCClassInfo ClassInfo;

  explicit TDCComponent(TDCComponent* AOwner = nullptr);
  // Frees the owned components (the last first), then tells every component
  // that asked for it that this one is being removed.
  virtual ~TDCComponent();
  TDCComponent(const TDCComponent&) = delete;
  TDCComponent& operator=(const TDCComponent&) = delete;

  virtual TDCClass ClassType() const { return &ClassInfo; }

  TDCComponent* Owner() const { return FOwner; }
  std::int32_t ComponentCount() const { return std::int32_t(FComponents.size()); }
  TDCComponent* Components(std::int32_t AIndex) const { return FComponents.at(AIndex); }
  std::wstring Name;

  // AComponent is told (Notification with opRemove) when this one is
  // destroyed, and this one when AComponent is.
  void FreeNotification(TDCComponent* AComponent);
  void RemoveFreeNotification(TDCComponent* AComponent);
  virtual void Notification(TDCComponent* AComponent, TDCOperation AOperation);

  // A stored form is being read into the component: BeginLoading before,
  // EndLoading after (which runs Loaded).
  void BeginLoading() { FLoading = true; }
  void EndLoading();
  bool Loading() const { return FLoading; }
  bool Destroying() const { return FDestroying; }

protected:
  virtual void Loaded() {}
  // The most derived destructor marks the component before it tears down.
  void MarkDestroying() { FDestroying = true; }

private:
  void InsertComponent(TDCComponent* AComponent);
  void RemoveComponent(TDCComponent* AComponent);
  void AddFreeNotify(TDCComponent* AComponent);
  void RemoveFreeNotify(TDCComponent* AComponent);

  TDCComponent* FOwner = nullptr;
  std::vector<TDCComponent*> FComponents;
  std::vector<TDCComponent*> FFreeNotifies;
  bool FLoading = false;
  bool FDestroying = false;
};
