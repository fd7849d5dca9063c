#pragma once

// Ownership of GLib values without GLib in a header: the release function is a
// template argument, so this file needs no GLib declaration and the sources
// that include GLib spell their pointer types with the function they need:
//
//   template<typename T> using GObjectPtr = Owned<T, g_object_unref>;
//   using GErrorPtr = Owned<GError, g_error_free>;
//   using GCharPtr = Owned<char, g_free>;
//   using GStrvPtr = Owned<char*, g_strfreev>;
//   using GKeyFilePtr = Owned<GKeyFile, g_key_file_free>;
//   using GObjectListPtr = OwnedFull<GList, g_list_free_full, g_object_unref>;

#include <memory>

namespace marvoline::gio {

// Releases a pointer with a C function such as g_object_unref or g_free.
template <auto Release> struct FnDeleter {
    template <typename T> void operator()(T* p) const noexcept {
        if (p)
            Release(p);
    }
};

// Releases a container and its elements with a C function such as
// g_list_free_full(list, g_object_unref).
template <auto ReleaseAll, auto ReleaseElement> struct FullDeleter {
    template <typename T> void operator()(T* p) const noexcept {
        if (p)
            ReleaseAll(p, ReleaseElement);
    }
};

// Sole owner of one reference (or allocation) of a GLib value.
template <typename T, auto Release> using Owned = std::unique_ptr<T, FnDeleter<Release>>;

// Sole owner of a GLib container together with its elements.
template <typename T, auto ReleaseAll, auto ReleaseElement>
using OwnedFull = std::unique_ptr<T, FullDeleter<ReleaseAll, ReleaseElement>>;

// Adopts the value a C function hands back through an out parameter:
//
//   GErrorPtr error;
//   g_file_query_info(..., OutParam(error));
//
// The pointer is released first and takes the new value when the call returns.
template <typename Ptr> class OutParam {
public:
    explicit OutParam(Ptr& owner) noexcept
        : m_owner(owner) {
        m_owner.reset();
    }
    ~OutParam() { m_owner.reset(m_raw); }
    OutParam(const OutParam&) = delete;
    OutParam& operator=(const OutParam&) = delete;

    operator typename Ptr::pointer *() noexcept { return &m_raw; }

private:
    Ptr& m_owner;
    typename Ptr::pointer m_raw = nullptr;
};

} // namespace marvoline::gio
