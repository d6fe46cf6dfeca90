// Owning pointers to the suite's objects that are released with Dispose() instead of delete
// (repository contents and baselines, engines, observers, job helpers): Dispose runs the
// destructor inside the library or module that made the object.
#pragma once
#include <memory>

struct CTavDisposer {
    template <typename T>
    void operator()(T* object) const {
        if (object != nullptr) object->Dispose();
    }
};

template <typename T>
using TavDisposedPtr = std::unique_ptr<T, CTavDisposer>;
