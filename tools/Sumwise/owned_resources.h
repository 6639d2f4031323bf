// Small owners of what one file's digest holds besides its handles (common/handle_owners.h): a
// mapped view and a block of committed pages. Each releases what it holds when it goes out of
// scope.
#pragma once
#include "platform/platform.h"

// A view from MapViewOfFile.
class OwnedView {
public:
    explicit OwnedView(LPVOID view) : view_(view) {}
    ~OwnedView()
    {
        if (view_ != nullptr) {
            UnmapViewOfFile(view_);
        }
    }
    OwnedView(const OwnedView&) = delete;
    OwnedView& operator=(const OwnedView&) = delete;
    const BYTE* get() const { return static_cast<const BYTE*>(view_); }

private:
    LPVOID view_;
};

// Pages committed with VirtualAlloc.
class OwnedPages {
public:
    explicit OwnedPages(SIZE_T bytes) : pages_(VirtualAlloc(nullptr, bytes, MEM_COMMIT, PAGE_READWRITE)) {}
    ~OwnedPages()
    {
        if (pages_ != nullptr) {
            VirtualFree(pages_, 0, MEM_RELEASE);
        }
    }
    OwnedPages(const OwnedPages&) = delete;
    OwnedPages& operator=(const OwnedPages&) = delete;
    BYTE* get() const { return static_cast<BYTE*>(pages_); }

private:
    LPVOID pages_;
};
