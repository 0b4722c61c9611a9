// Reference counting shared by every object of the browser-engine layer: interfaces derive
// virtually from CefBaseRefCounted, and CefRefPtr holds one reference.
#pragma once

#include <atomic>
#include <cstddef>
#include <utility>

class CefBaseRefCounted {
  public:
    virtual void AddRef() const = 0;
    virtual bool Release() const = 0;  // true when this call destroyed the object
    virtual bool HasOneRef() const = 0;
    virtual bool HasAtLeastOneRef() const = 0;

  protected:
    virtual ~CefBaseRefCounted() = default;
};

// The four operations over one atomic count, 0 after construction, for a class that
// implements the given interfaces (in this order) or, with none, is a concrete object of the
// layer itself. Release destroys the object when the count reaches 0.
template <class... Interfaces>
class CefRefCounted : public Interfaces..., public virtual CefBaseRefCounted {
  public:
    void AddRef() const override { count_.fetch_add(1); }
    bool Release() const override {
        if (count_.fetch_sub(1) != 1)
            return false;
        delete this;
        return true;
    }
    bool HasOneRef() const override { return count_.load() == 1; }
    bool HasAtLeastOneRef() const override { return count_.load() != 0; }

  private:
    mutable std::atomic<int> count_{0};
};

template <class T>
class CefRefPtr {
  public:
    CefRefPtr() = default;
    CefRefPtr(std::nullptr_t) {}
    CefRefPtr(T* p) : p_(p) {
        if (p_)
            p_->AddRef();
    }
    CefRefPtr(const CefRefPtr& other) : CefRefPtr(other.p_) {}
    template <class U>
    CefRefPtr(const CefRefPtr<U>& other) : CefRefPtr(other.get()) {}
    CefRefPtr(CefRefPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~CefRefPtr() {
        if (p_)
            p_->Release();
    }
    CefRefPtr& operator=(CefRefPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    bool operator==(const CefRefPtr& o) const { return p_ == o.p_; }
    bool operator!=(const CefRefPtr& o) const { return p_ != o.p_; }
    bool operator==(std::nullptr_t) const { return p_ == nullptr; }
    bool operator!=(std::nullptr_t) const { return p_ != nullptr; }

  private:
    T* p_ = nullptr;
};
