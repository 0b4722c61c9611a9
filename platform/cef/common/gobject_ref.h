// Owning and weak references to GObjects, for both sides of the layer: every GObject the
// layer keeps is held through one of these.
#pragma once

#include <glib-object.h>

#include <utility>

// One strong reference; adopts a reference it is given (a "transfer full" result).
template <class T>
class GObjectRef {
  public:
    GObjectRef() = default;
    static GObjectRef Adopt(T* p) { return GObjectRef(p); }
    static GObjectRef Share(T* p) {
        return GObjectRef(p ? static_cast<T*>(g_object_ref(p)) : nullptr);
    }
    // Takes a new object's floating reference (a widget's), or a reference of its own.
    static GObjectRef Sink(T* p) {
        return GObjectRef(p ? static_cast<T*>(g_object_ref_sink(p)) : nullptr);
    }
    GObjectRef(const GObjectRef& o) : p_(o.p_ ? static_cast<T*>(g_object_ref(o.p_)) : nullptr) {}
    GObjectRef(GObjectRef&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    GObjectRef& operator=(GObjectRef o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~GObjectRef() {
        if (p_)
            g_object_unref(p_);
    }
    T* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

  private:
    explicit GObjectRef(T* p) : p_(p) {}
    T* p_ = nullptr;
};

// A reference that does not keep the object alive and reads as null once it is gone.
template <class T>
class GObjectWeakRef {
  public:
    explicit GObjectWeakRef(T* p = nullptr) { g_weak_ref_init(&ref_, p); }
    GObjectWeakRef(const GObjectWeakRef& o) : GObjectWeakRef(o.Get().get()) {}
    GObjectWeakRef& operator=(const GObjectWeakRef&) = delete;
    ~GObjectWeakRef() { g_weak_ref_clear(&ref_); }
    GObjectRef<T> Get() const {
        return GObjectRef<T>::Adopt(static_cast<T*>(g_weak_ref_get(&ref_)));
    }

  private:
    mutable GWeakRef ref_;
};
