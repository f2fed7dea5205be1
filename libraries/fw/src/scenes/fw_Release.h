#pragma once
// Giving back device objects, each way once: a reference-counted object loses the
// caller's reference; an owned object whose Release() frees its resources (fw_Texture)
// is released and deleted. Both leave the pointer null and do nothing when it is null.

template <typename T>
void SafeRelease(T*& object) {
    if (object) {
        object->Release();
        object = nullptr;
    }
}

template <typename T>
void ReleaseAndDelete(T*& object) {
    if (object) {
        object->Release();
        delete object;
        object = nullptr;
    }
}

// The deleter of a std::unique_ptr that owns such an object.
struct fw_ReleaseAndDelete {
    template <typename T>
    void operator()(T* object) const {
        ReleaseAndDelete(object);
    }
};
