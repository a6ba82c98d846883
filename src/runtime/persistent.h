#pragma once

#include <string>

// The root of every object that can copy its state from another
// (`Assign`) or hand it to another (`AssignTo`).
class TPersistent {
public:
  virtual ~TPersistent() = default;
  // The class's own name, as messages and the class registry show it.
  virtual std::wstring ClassName() const { return L"TPersistent"; }
  // Take on ASource's state. The default asks ASource to assign itself to
  // this object and raises EConvertError when neither side knows the other.
  virtual void Assign(const TPersistent* ASource);
  // The object above this one (a component's owner, an item's collection,
  // a collection's owner), or nullptr.
  virtual TPersistent* GetOwner() const { return nullptr; }
  // The object's name as a path from its owner down: the owner's path, a
  // full stop, then the class name; a component answers its name.
  virtual std::wstring GetNamePath() const;

protected:
  virtual void AssignTo(TPersistent* ADest) const;
};
