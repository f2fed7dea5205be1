#pragma once
// AddRef and Release for the stand-in's objects: the count starts at one for the creator,
// and the object deletes itself when the last reference goes. The object keeps its own
// QueryInterface.

#include <atomic>

#include "platform/win32_types.h"

namespace d3d10gl {

// Reference counting for one or more interfaces of an object.
template <class Interface>
class RefCounted : public Interface {
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    virtual ~RefCounted() = default;
    std::atomic<ULONG> refs_{1};
};

}  // namespace d3d10gl
