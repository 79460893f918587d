// Element functions of arrays that own the objects their pointers point to.
#pragma once

#include "vorlan/framework/archive.h"

namespace vorlan::detail {

template <class T>
void DeleteOwned(T** elements, int count) {
    for (int i = 0; i < count; ++i) {
        delete elements[i];
        elements[i] = nullptr;
    }
}

// Loading creates every missing element first, so a failure leaves no empty slot behind.
template <class T>
void SerializeOwned(CArchive& ar, T** elements, int count) {
    if (ar.IsLoading())
        for (int i = 0; i < count; ++i)
            if (!elements[i]) elements[i] = new T;
    for (int i = 0; i < count; ++i) elements[i]->Serialize(ar);
}

}  // namespace vorlan::detail
