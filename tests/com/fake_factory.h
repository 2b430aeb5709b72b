#pragma once
// The class factory of the test COM servers: one static instance per class, making a new object
// with each CreateInstance. Its own references are not counted.

#include <windows.h>

namespace qx::testing {

class Factory final : public IClassFactory {
 public:
  using Make = IDispatch* (*)();  // a new object with one reference, or null
  explicit Factory(Make make) : make_(make) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    IDispatch* made = make_();
    if (made == nullptr) return E_FAIL;
    const HRESULT status = made->QueryInterface(iid, object);
    made->Release();
    return status;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    locks_ += lock ? 1 : -1;
    return S_OK;
  }
  static long locks() { return locks_; }

 private:
  Make make_;
  static inline long locks_ = 0;
};

}  // namespace qx::testing
