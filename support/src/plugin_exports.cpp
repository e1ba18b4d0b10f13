// The twenty exports of every module, routed through the module's type table.
#include <exception>

#include "kpl/platform/blocks.hpp"
#include "kpl/support/plug_hdr.hpp"
#include "kpl/support/type_routing.hpp"

namespace kpl {
namespace {

struct Route {
  const TypeOps* ops = nullptr;
  uint32_t variant = 0;
};

Route resolve(uint32_t type) {
  const ModuleTable& module = ThisModule();
  if (type >= module.count) return {};
  for (const TypeRange& range : module.ranges)
    if (type >= range.first && type <= range.last) return {range.ops, type - range.first};
  return {};
}

// Runs a call body; any failure becomes the call's failure answer.
template <class Result, class Body>
Result guarded(Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

// Type-level call: `entry` picks the implementation's function; no function answers 0.
template <class Result, class Entry, class Call>
Result onType(uint32_t type, Result failure, Entry entry, Call&& call) noexcept {
  return guarded(failure, [&]() -> Result {
    const Route route = resolve(type);
    if (!route.ops) return Result{};
    const auto fn = route.ops->*entry;
    return fn ? call(fn, route.variant) : Result{};
  });
}

// Instance call: the block stays locked for exactly the length of the call.
template <class Result, class Entry, class Call>
Result onInstance(uint32_t type, uint32_t local, Entry entry, Call&& call) noexcept {
  return guarded(Result{}, [&]() -> Result {
    const Route route = resolve(type);
    if (!route.ops) return Result{};
    const auto fn = route.ops->*entry;
    if (!fn) return Result{};
    if (GlobalSize(local) < route.ops->blockBytes) return Result{};
    BlockLock lock(local);
    if (!lock) return Result{};
    const Instance instance{route.variant, local, lock.get()};
    return call(fn, instance);
  });
}

}  // namespace
}  // namespace kpl

using namespace kpl;

KPL_EXPORT uint32_t KPL_CALL piCount() {
  return ThisModule().count;
}

KPL_EXPORT uint32_t KPL_CALL piInit(uint32_t type) {
  return onType<uint32_t>(type, 0, &TypeOps::init,
                          [](auto fn, uint32_t v) { return fn(v) ? 1u : 0u; });
}

KPL_EXPORT uint32_t KPL_CALL piDone(uint32_t type) {
  return onType<uint32_t>(type, 0, &TypeOps::done,
                          [](auto fn, uint32_t v) { return fn(v) ? 1u : 0u; });
}

KPL_EXPORT const char* KPL_CALL piName(uint32_t type) {
  return onType<const char*>(type, nullptr, &TypeOps::name,
                             [](auto fn, uint32_t v) { return fn(v); });
}

KPL_EXPORT uint32_t KPL_CALL piFlags(uint32_t type) {
  return onType<uint32_t>(type, 0, &TypeOps::flags, [](auto fn, uint32_t v) { return fn(v); });
}

KPL_EXPORT uint32_t KPL_CALL piIcon(uint32_t type, uint32_t index) {
  return onType<uint32_t>(type, 0, &TypeOps::icon,
                          [&](auto fn, uint32_t v) { return fn(v, index); });
}

KPL_EXPORT uint32_t KPL_CALL piLocalInit(uint32_t type, uint32_t flags) {
  return onType<uint32_t>(type, 0, &TypeOps::localInit,
                          [&](auto fn, uint32_t v) { return fn(v, flags); });
}

KPL_EXPORT int32_t KPL_CALL piLocalDone(uint32_t type, uint32_t local) {
  // Freeing a handle that is not a block fails quietly; the answer carries no meaning.
  return guarded<int32_t>(0,
                          [&] { return resolve(type).ops && GlobalFree(local) == 0 ? kTrue : 0; });
}

KPL_EXPORT int32_t KPL_CALL piLocalSetFormat(uint32_t type, uint32_t local, const void* format) {
  return onInstance<int32_t>(type, local, &TypeOps::setFormat,
                             [&](auto fn, const Instance& i) { return Truth(fn(i, format)); });
}

KPL_EXPORT int32_t KPL_CALL piLocalLength(uint32_t type, uint32_t local, int32_t length) {
  return onInstance<int32_t>(type, local, &TypeOps::length,
                             [&](auto fn, const Instance& i) { return Truth(fn(i, length)); });
}

KPL_EXPORT int32_t KPL_CALL piLocalDlg(uint32_t type, uint32_t local, uint32_t parentWindow) {
  return onInstance<int32_t>(type, local, &TypeOps::dialog, [&](auto fn, const Instance& i) {
    return Truth(fn(i, parentWindow));
  });
}

KPL_EXPORT uint32_t KPL_CALL piLocalFlags(uint32_t type, uint32_t local) {
  // Every type keeps its instance flag word as the block's first field.
  return guarded<uint32_t>(0, [&]() -> uint32_t {
    const Route route = resolve(type);
    if (!route.ops || GlobalSize(local) < sizeof(uint32_t)) return 0;
    BlockLock lock(local);
    return lock ? *lock.as<uint32_t>() : 0;
  });
}

KPL_EXPORT int32_t KPL_CALL piLocalSetData(uint32_t type, uint32_t local, void* first,
                                           int32_t firstSize, void* second, int32_t secondSize) {
  return onInstance<int32_t>(type, local, &TypeOps::setData, [&](auto fn, const Instance& i) {
    return Truth(fn(i, first, firstSize, second, secondSize));
  });
}

KPL_EXPORT int32_t KPL_CALL piLocalProcessDataStart(uint32_t type, uint32_t local) {
  return onInstance<int32_t>(type, local, &TypeOps::processStart,
                             [](auto fn, const Instance& i) { return Truth(fn(i)); });
}

KPL_EXPORT int32_t KPL_CALL piLocalProcessData(uint32_t type, uint32_t local) {
  return onInstance<int32_t>(type, local, &TypeOps::process,
                             [](auto fn, const Instance& i) { return Truth(fn(i)); });
}

KPL_EXPORT int32_t KPL_CALL piLocalProcessDataEnd(uint32_t type, uint32_t local) {
  return onInstance<int32_t>(type, local, &TypeOps::processEnd,
                             [](auto fn, const Instance& i) { return Truth(fn(i)); });
}

KPL_EXPORT uint32_t KPL_CALL piLocalGetData(uint32_t type, uint32_t local) {
  return onInstance<uint32_t>(type, local, &TypeOps::getData,
                              [](auto fn, const Instance& i) { return fn(i); });
}

KPL_EXPORT int32_t KPL_CALL piLocalSaveData(uint32_t type, uint32_t local, int32_t index,
                                            char* text) {
  return onInstance<int32_t>(type, local, &TypeOps::saveData,
                             [&](auto fn, const Instance& i) { return Truth(fn(i, index, text)); });
}

KPL_EXPORT int32_t KPL_CALL piLocalLoadData(uint32_t type, uint32_t local, int32_t index,
                                            char* text) {
  return onInstance<int32_t>(type, local, &TypeOps::loadData,
                             [&](auto fn, const Instance& i) { return Truth(fn(i, index, text)); });
}

KPL_EXPORT const char* KPL_CALL piLocalName(uint32_t type, uint32_t local) {
  static const char kEmpty[] = "";
  const Route route = guarded<Route>({}, [&] { return resolve(type); });
  if (!route.ops) return nullptr;
  return guarded<const char*>(kEmpty, [&]() -> const char* {
    const auto fn = route.ops->localName;
    if (!fn) return kEmpty;
    if (local == 0) return fn(route.variant, nullptr);
    if (GlobalSize(local) < route.ops->blockBytes) return kEmpty;
    BlockLock lock(local);
    if (!lock) return kEmpty;
    const Instance instance{route.variant, local, lock.get()};
    const char* name = fn(route.variant, &instance);
    return name ? name : kEmpty;
  });
}
