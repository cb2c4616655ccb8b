// Persistent objects, components with ownership and free notification,
// lists, string lists and threads. No Qt here.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "System.h"
#include "TypInfo.h"

namespace vcl {

// An object that can copy itself into another of its kind.
class TPersistent : public TObject {
 public:
  const TClassInfo* ClassInfo() const override;
  static const TClassInfo* StaticClassInfo();

  // Copies `source` into this object by asking the source to copy itself
  // (source->AssignTo(this)); a nil source or unrelated classes raise
  // EConvertError "Cannot assign a %s to a %s".
  virtual void Assign(TPersistent* source);

 protected:
  // Copies this object into `dest`. The default raises the conversion error
  // with this class's name and the destination's.
  virtual void AssignTo(TPersistent* dest);

 private:
  void AssignError(TPersistent* source);
};

enum TComponentStateFlag : unsigned {
  csLoading = 1u << 0,
  csReading = 1u << 1,
  csWriting = 1u << 2,
  csDestroying = 1u << 3,
  csDesigning = 1u << 4,
  csAncestor = 1u << 5,
  csUpdating = 1u << 6,
  csFixups = 1u << 7,
};
enum TComponentStyleFlag : unsigned {
  csInheritable = 1u << 0,
  csCheckPropAvail = 1u << 1,
  csSubComponent = 1u << 2,
};
enum class TOperation { opInsert, opRemove };

// A component: owned by its owner (which frees it), named, with a loading
// and a design state, and free notification registered both ways.
class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;

  const TClassInfo* ClassInfo() const override;
  static const TClassInfo* StaticClassInfo();

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  long long Tag() const { return tag_; }
  void SetTag(long long tag) { tag_ = tag; }

  unsigned ComponentState() const { return state_; }
  bool HasState(unsigned flags) const { return (state_ & flags) != 0; }
  // The state flags are set by the layout reader and the designer; tests set
  // csDesigning through this.
  void SetComponentState(unsigned flags, bool on);
  unsigned ComponentStyle() const { return style_; }

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(index); }
  // Case-insensitive search among the owned components.
  TComponent* FindComponent(const std::string& name) const;

  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  // Frees every owned component now, last created first.
  void DestroyComponents();

  // Asks `component` to tell this one (Notification with opRemove) when it is
  // destroyed; registered both ways, so whichever goes first tells the other.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // Called after the whole layout has been read, on each component in
  // creation order; clears csLoading.
  virtual void Loaded();

 protected:
  // Heard when `component` is inserted into or removed from this component's
  // owner tree, or is destroyed after a FreeNotification request. The default
  // forgets a removed component's notification entry and passes the notice
  // on to the owned components.
  virtual void Notification(TComponent* component, TOperation operation);

  // Tells everyone who must know that this component goes away (free
  // notifications, owned components freed, removal from the owner) while the
  // derived parts still exist. A derived class whose Notification partners
  // call back into it calls this first in its destructor; ~TComponent runs it
  // only if it has not run yet.
  void BeforeDestruction();

  unsigned style_ = csInheritable;

 private:
  friend class TReader;
  void SendNotification(TComponent* component, TOperation operation) {
    Notification(component, operation);
  }

  TComponent* owner_ = nullptr;
  std::string name_;
  long long tag_ = 0;
  unsigned state_ = 0;
  bool destructionStarted_ = false;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
};

// A list of untyped pointers, as the runtime's TList.
class TList : public TObject {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  void* Items(int index) const;
  int Add(void* item);
  void Insert(int index, void* item);
  void Delete(int index);
  int IndexOf(void* item) const;
  int Remove(void* item);
  void Clear() { items_.clear(); }

 private:
  std::vector<void*> items_;
};

// Case-insensitive, character-by-character comparison of two texts, as the
// sort of the string list uses it ("COM10" sorts between "COM1" and "COM2").
int AnsiCompareText(const std::string& a, const std::string& b);

class TStrings : public TPersistent {
 public:
  virtual int Count() const = 0;
  virtual std::string Strings(int index) const = 0;
  virtual int Add(const std::string& s) = 0;
  virtual void Clear() = 0;
  virtual void Delete(int index) = 0;
  // Case-insensitive search; -1 when absent.
  virtual int IndexOf(const std::string& s) const;
  // Brackets a burst of changes (a visual list repaints once).
  virtual void BeginUpdate() {}
  virtual void EndUpdate() {}
  void Assign(TPersistent* source) override;
};

class TStringList : public TStrings {
 public:
  int Count() const override { return static_cast<int>(items_.size()); }
  std::string Strings(int index) const override;
  int Add(const std::string& s) override;
  void Clear() override { items_.clear(); }
  void Delete(int index) override;
  // Stable: equal entries are all kept, in the order they were added.
  void Sort();

 private:
  std::vector<std::string> items_;
};

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// A thread object. It is created suspended; Start() runs Execute on a new
// thread. Destruction waits for the end: a derived class must call
// WaitForEnd() (or let its Execute finish) before its own members go away,
// as TComThread's destructor does.
class TThread : public TObject {
 public:
  explicit TThread(bool createSuspended = true);
  ~TThread() override;

  void Start();
  void Resume() { Start(); }
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  bool Finished() const { return finished_; }
  TThreadPriority Priority() const { return priority_; }
  void SetPriority(TThreadPriority priority) { priority_ = priority; }

  // Waits for the thread to end. On the user-interface thread the wait keeps
  // running this and other threads' Synchronize calls and messages sent to
  // the user-interface thread's windows, so a thread caught in the middle of
  // a hand-over comes back and ends.
  void WaitFor();
  // Sets Terminated, then WaitFor; safe to call more than once.
  void WaitForEnd();

  // The exception that left Execute, stored instead of being reported.
  std::exception_ptr FatalException() const { return fatal_; }

  // Runs `method` on the user-interface thread while the calling thread
  // blocks; inline when called on the user-interface thread. An exception
  // raised by `method` is raised again in the calling thread.
  static void Synchronize(const std::function<void()>& method);
  // Hands `method` to the user-interface thread without waiting for it;
  // inline on the user-interface thread. An exception it raises goes to the
  // application's exception display.
  static void Queue(const std::function<void()>& method);

 protected:
  virtual void Execute() = 0;

 private:
  void Run();

  std::thread thread_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  bool started_ = false;
  bool joined_ = false;
  TThreadPriority priority_ = TThreadPriority::tpNormal;
  std::exception_ptr fatal_;
};

// --- the layout reader ------------------------------------------------------
// Reads a layout in the classic form-file text shape
//   object Form1: TForm1 ... object Button1: TButton ... end ... end
// into `root` (an existing component, normally the form being constructed).
// Components are created by class name with the component they are nested
// in as parent (TReader::SetParentHook) and the root as owner; properties are
// set by name; handlers are bound to the root's published methods; component
// references are resolved after the whole layout is read; every component
// stays in csLoading until then, and Loaded runs on each in creation order.
// A property that fails becomes EReadError naming the component and the
// property: "Error reading Combo1.ComProperty: Registry error ...".
class TReader {
 public:
  explicit TReader(TComponent* root);
  void ReadRoot(const std::string& text);

  TComponent* Root() const { return root_; }
  // The component whose properties are being read.
  TComponent* Current() const { return current_; }

  // Called for each created child with its layout parent (the component it
  // is nested in). The visual runtime sets this to place controls in their
  // parent windows.
  static std::function<void(TComponent* child, TComponent* parent)>& SetParentHook();

  void AddFixup(std::function<void()> fixup) { fixups_.push_back(std::move(fixup)); }

 private:
  TComponent* root_;
  TComponent* current_ = nullptr;
  std::vector<std::function<void()>> fixups_;
  std::vector<TComponent*> loaded_;
  friend struct ReaderImpl;
};

// Reads the layout resource `resourceName` into `root` (EResNotFound when it
// does not exist).
void ReadComponentRes(const std::string& resourceName, TComponent* root);

}  // namespace vcl
