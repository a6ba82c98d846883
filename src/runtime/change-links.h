#pragma once

#include <algorithm>
#include <functional>
#include <vector>

class TChangeSource;

// A registration for the changes of a source (an image list, a menu): the
// source calls OnChange after each change. A link and its source may be
// freed in either order; the survivor forgets the other.
class TChangeLink {
public:
  TChangeLink() = default;
  TChangeLink(const TChangeLink&) = delete;
  TChangeLink& operator=(const TChangeLink&) = delete;
  inline virtual ~TChangeLink();

  TChangeSource* Source() const { return FSource; }
  virtual void Change() {
    if (OnChange)
      OnChange(this);
  }

  std::function<void(TChangeLink* ALink)> OnChange;

private:
  friend class TChangeSource;
  TChangeSource* FSource = nullptr;
};

// The list of links a source tells of its changes.
class TChangeSource {
public:
  TChangeSource() = default;
  TChangeSource(const TChangeSource&) = delete;
  TChangeSource& operator=(const TChangeSource&) = delete;
  virtual ~TChangeSource() {
    for (TChangeLink* link : FLinks)
      link->FSource = nullptr;
  }

  // A link registered with another source moves to this one.
  void RegisterChanges(TChangeLink* ALink) {
    if (!ALink || ALink->FSource == this)
      return;
    if (ALink->FSource)
      ALink->FSource->UnRegisterChanges(ALink);
    FLinks.push_back(ALink);
    ALink->FSource = this;
  }
  void UnRegisterChanges(TChangeLink* ALink) {
    auto it = std::find(FLinks.begin(), FLinks.end(), ALink);
    if (it == FLinks.end())
      return;
    FLinks.erase(it);
    ALink->FSource = nullptr;
  }
  int LinkCount() const { return int(FLinks.size()); }

protected:
  // Tells every link; a link may unregister itself (or another) meanwhile.
  void NotifyLinks() {
    const std::vector<TChangeLink*> links = FLinks;
    for (TChangeLink* link : links)
      if (std::find(FLinks.begin(), FLinks.end(), link) != FLinks.end())
        link->Change();
  }

private:
  std::vector<TChangeLink*> FLinks;
};

TChangeLink::~TChangeLink() {
  if (FSource)
    FSource->UnRegisterChanges(this);
}
