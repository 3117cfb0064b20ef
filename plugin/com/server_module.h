#pragma once
// The in-process server's own state, written once for every platform: the one Component (made on
// first use on the platform the home gives, with Main run before the first object is handed
// out), the thread it lives on, the count of what keeps the module loaded, the class object, and
// the logic of DllGetClassObject and DllCanUnloadNow. A home adds only its glue: the platform,
// registration and the exported functions.
#include <atomic>
#include <functional>
#include <memory>
#include <utility>

#include "lcd/lcd_link.h"
#include "plugin/com/class_factory.h"
#include "plugin/com/shell_traits.h"
#include "plugin/component.h"
#include "plugin/host_link.h"
#include "plugin/lifecycle.h"

namespace marqel::com {

template <ShellTraits Traits>
class ServerModule {
 public:
  using HRESULT = typename Traits::HRESULT;
  using IID = typename Traits::IID;
  using CLSID = typename Traits::CLSID;
  using ThreadId = typename Traits::ThreadId;
  using PlatformMaker = std::function<std::unique_ptr<ComponentPlatform>()>;

  // `makePlatform` is called when the component is made, on the thread that creates the first
  // object.
  explicit ServerModule(PlatformMaker makePlatform) : makePlatform_(std::move(makePlatform)) {}
  ~ServerModule() { dropComponent(); }
  ServerModule(const ServerModule&) = delete;
  ServerModule& operator=(const ServerModule&) = delete;

  // DllGetClassObject: the class object of Tolvane, and of nothing else.
  HRESULT getClassObject(const CLSID& clsid, const IID& iid, void** object) {
    if (object == nullptr) {
      return Traits::kPointer;
    }
    *object = nullptr;
    if (!(clsid == Traits::kClsidTolvane)) {
      return Traits::kClassNotAvailable;
    }
    return classFactory_.QueryInterface(iid, object);
  }

  // DllCanUnloadNow: no object, class-object reference or server lock is left, and no window of
  // the component is open (the link window with its timer, or the dialog), whose procedures and
  // callbacks live in the module.
  HRESULT canUnloadNow() const {
    if (locks_.load() != 0) {
      return Traits::kFalse;
    }
    if (component_ && (component_->form1Loaded() || component_->form2Loaded())) {
      return Traits::kFalse;
    }
    return Traits::kOk;
  }

  void lock() { ++locks_; }
  void unlock() { --locks_; }

  // The component lives on the thread that created the first object: true on that thread, and on
  // the first thread that asks, which then becomes that thread.
  bool claimComponentThread() {
    ThreadId owner{};
    const ThreadId current = Traits::CurrentThread();
    return threadOfComponent_.compare_exchange_strong(owner, current) || owner == current;
  }

  // The component for a new object: made on first use, then Main runs on it until it succeeds
  // once. An error from Main passes to the caller.
  Component& componentForNewObject() {
    if (started_ && component_) {
      return *component_;
    }
    if (!component_) {
      platform_ = makePlatform_();
      component_ = std::make_unique<Component>(platform_->platform());
    }
    Main(*component_);
    component_->lcdLink().sendQueued();
    started_ = true;
    return *component_;
  }

  // A host call on an object: refused from any other thread than the component's; the
  // unexpected-failure status once the component is gone (its home dropped it); otherwise run
  // on the component, with an escaping error as the failure status.
  template <class Call>
  HRESULT hostCall(Call&& call) {
    if (threadOfComponent_.load() != Traits::CurrentThread()) {
      return Traits::kWrongThread;
    }
    if (!component_) {
      return Traits::kUnexpected;
    }
    Component& component = *component_;
    const HRESULT status = StatusOf([&] { call(component); });
    // What the call queued goes to the device before the host has its answer, unless the home
    // dropped the component meanwhile.
    if (component_) {
      component_->lcdLink().sendQueued();
    }
    return status;
  }

  // Runs a statement for the caller of an entry point: success, or the failure status of
  // whatever escapes it.
  template <class Call>
  static HRESULT StatusOf(Call&& call) noexcept {
    // Passed by reference, so that handing it over allocates nothing that could fail outside.
    return static_cast<HRESULT>(StatusOfHostCall(std::ref(call)));
  }

  // Drops the component without running any of its handlers: the module is going, or the
  // system services its platform stands on.
  void dropComponent() {
    component_.reset();  // before the platform whose windows and timers it uses
    platform_.reset();
    started_ = false;
  }

 private:
  PlatformMaker makePlatform_;
  std::atomic<long> locks_{0};
  std::atomic<ThreadId> threadOfComponent_{};
  std::unique_ptr<ComponentPlatform> platform_;
  std::unique_ptr<Component> component_;
  bool started_ = false;
  ClassFactory<Traits> classFactory_{*this};
};

}  // namespace marqel::com
