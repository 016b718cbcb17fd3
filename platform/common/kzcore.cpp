#include "platform/common/kzcore.h"

#include <map>
#include <mutex>
#include <vector>

#include "platform/common/refcounted.h"

namespace {

class Core : public platform::RefCounted<IKZCoreHost> {
 public:
  HRESULT CreateObject(REFCLSID clsid, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    KZObjectFactory factory;
    {
      std::lock_guard lock(mutex_);
      auto it = factories_.find(clsid);
      if (it == factories_.end()) return E_FAIL;
      factory = it->second;
    }
    HRESULT hr = factory(iid, object);
    if (FAILED(hr)) *object = nullptr;
    return hr;
  }
  HRESULT GetService(REFGUID id, void** service) override { return Lookup(services_, id, service); }
  HRESULT GetExtensionPoint(REFGUID id, void** point) override {
    return Lookup(points_, id, point);
  }
  HRESULT RegisterService(REFGUID id, IUnknown* service) override {
    return Store(services_, id, service);
  }
  HRESULT RegisterExtensionPoint(REFGUID id, IUnknown* point) override {
    return Store(points_, id, point);
  }
  HRESULT RegisterFactory(REFCLSID clsid, KZObjectFactory factory) override {
    std::lock_guard lock(mutex_);
    if (factory) {
      factories_[clsid] = std::move(factory);
    } else {
      factories_.erase(clsid);
    }
    return S_OK;
  }
  HRESULT Clear() override {
    std::map<GUID, CKZComPtr<IUnknown>> services;
    std::map<GUID, CKZComPtr<IUnknown>> points;
    std::map<GUID, KZObjectFactory> factories;
    {
      std::lock_guard lock(mutex_);
      services.swap(services_);
      points.swap(points_);
      factories.swap(factories_);
    }
    // Released outside the lock: a service may call back into the core.
    return S_OK;
  }

 protected:
  ~Core() override { Clear(); }

 private:
  using Table = std::map<GUID, CKZComPtr<IUnknown>>;
  HRESULT Lookup(Table& table, REFGUID id, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    CKZComPtr<IUnknown> object;
    {
      std::lock_guard lock(mutex_);
      auto it = table.find(id);
      if (it == table.end()) return E_FAIL;
      object = it->second;
    }
    HRESULT hr = object->QueryInterface(id, out);
    return FAILED(hr) ? E_FAIL : S_OK;
  }
  HRESULT Store(Table& table, REFGUID id, IUnknown* object) {
    CKZComPtr<IUnknown> old;
    std::lock_guard lock(mutex_);
    auto it = table.find(id);
    if (it != table.end()) {
      old = std::move(it->second);
      table.erase(it);
    }
    if (object != nullptr) table[id] = object;
    return S_OK;
  }

  std::mutex mutex_;
  Table services_;
  Table points_;
  std::map<GUID, KZObjectFactory> factories_;
};

std::mutex g_core_mutex;
IKZCore* g_core = nullptr;

}  // namespace

namespace Util::Core {
HRESULT GetPlatformCore(IKZCore** core) {
  if (core == nullptr) return E_POINTER;
  std::lock_guard lock(g_core_mutex);
  *core = g_core;
  if (g_core == nullptr) return E_FAIL;
  g_core->AddRef();
  return S_OK;
}
}  // namespace Util::Core

namespace platform {

HRESULT CreateCoreHost(IKZCoreHost** core) {
  if (core == nullptr) return E_POINTER;
  *core = new Core();
  return S_OK;
}

void InstallCore(IKZCore* core) {
  if (core != nullptr) core->AddRef();
  IKZCore* old = nullptr;
  {
    std::lock_guard lock(g_core_mutex);
    old = g_core;
    g_core = core;
  }
  if (old != nullptr) old->Release();
}

namespace {
struct WorldResets {
  std::mutex mutex;
  std::vector<void (*)()> resets;
};
WorldResets& Resets() {
  static WorldResets* resets = new WorldResets();  // outlives static destructors
  return *resets;
}
}  // namespace

namespace internal {
bool AtWorldReset(void (*reset)()) {
  std::lock_guard lock(Resets().mutex);
  Resets().resets.push_back(reset);
  return true;
}
}  // namespace internal

void ResetPlatformWorld() {
  std::vector<void (*)()> resets;
  {
    std::lock_guard lock(Resets().mutex);
    resets = Resets().resets;
  }
  for (void (*reset)() : resets) reset();
}

ScopedCore::ScopedCore() {
  ResetPlatformWorld();
  CreateCoreHost(&host_);
  InstallCore(host_.Get());
}

ScopedCore::~ScopedCore() {
  InstallCore(nullptr);
  host_->Clear();
  ResetPlatformWorld();
}

}  // namespace platform
