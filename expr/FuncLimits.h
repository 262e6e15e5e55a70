#pragma once
// Limits shared by the expression language and the project model.
#include <cstdint>

constexpr unsigned MAX_FUNCTIONS = 50;       // function slots f1 ... f50
constexpr unsigned FUNC_NVARS = 3;           // range variables x, u, v of a step
constexpr unsigned FUNC_NSLOTS = 7;          // value slots x u v a b c d
constexpr unsigned FUNC_STACK = 50;          // places of the evaluator's value stack
constexpr unsigned FUNC_MAX_NESTING = 200;   // bracket and argument-list nesting the compiler accepts
constexpr unsigned FUNC_MAX_DEPTH = 100;     // nested term evaluations before a value is undefined
constexpr unsigned FUNC_MAX_TEXT = 1u << 20; // characters of a formula text the compiler accepts
// Instructions that the term runs behind one value may execute, references included, before the
// value is undefined: chained references can ask for 2^49 runs, which would never end.
constexpr uint64_t FUNC_MAX_WORK = uint64_t{1} << 24;

// The value slots that formulas read: the range variables x (t), u, v, then a (n, fx), b (f, fy),
// c and d, which are the arguments inside a reference, the point inside a transformation, and
// otherwise equal x, u, v (d: 0).
enum ESlot : unsigned { SLOT_X, SLOT_U, SLOT_V, SLOT_A, SLOT_B, SLOT_C, SLOT_D };
static_assert(SLOT_A == FUNC_NVARS && SLOT_D + 1 == FUNC_NSLOTS, "x u v, then a b c d");
