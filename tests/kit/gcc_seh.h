/* MSVC's __try / __except for i686 GCC, so that the host guide's C code, written for MSVC, compiles
 * and runs in the tests unchanged (force-included with -include). A registration record of its own
 * on the fs:[0] chain: its handler keeps a copy of the exception, unwinds the frames above it and
 * jumps back; the filter is then evaluated, and an exception it does not take is raised again.
 * Only what the guide uses: no return or goto out of a __try block, one __try per scope.
 */
#ifndef QRX_GCC_SEH_H
#define QRX_GCC_SEH_H
#include <windows.h>
#include <excpt.h>

#if !defined(__i386__)
#error "gcc_seh.h is for i686"
#endif

struct qrx_try {
  struct qrx_try* Next; /* EXCEPTION_REGISTRATION_RECORD: next, handler */
  void* Handler;
  void* Jump[5];
  EXCEPTION_RECORD Record;
  CONTEXT Context;
  EXCEPTION_POINTERS Pointers;
};

static EXCEPTION_DISPOSITION __cdecl qrx_try_handler(EXCEPTION_RECORD* Record, void* Frame, CONTEXT* Context, void* Unused)
{
  struct qrx_try* t = (struct qrx_try*)Frame;
  (void)Unused;
  if (Record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
    return ExceptionContinueSearch;
  t->Record = *Record;
  t->Context = *Context;
  t->Pointers.ExceptionRecord = &t->Record;
  t->Pointers.ContextRecord = &t->Context;
  RtlUnwind(Frame, NULL, Record, NULL);
  __builtin_longjmp(t->Jump, 1);
}

static inline int qrx_try_push(struct qrx_try* T)
{
  T->Handler = (void*)qrx_try_handler;
  __asm__ volatile("movl %%fs:0, %0" : "=r"(T->Next));
  __asm__ volatile("movl %0, %%fs:0" : : "r"(T) : "memory");
  return 1;
}

static inline int qrx_try_pop(struct qrx_try* T)
{
  __asm__ volatile("movl %0, %%fs:0" : : "r"(T->Next) : "memory");
  return 0;
}

/* After the jump: the filter's verdict. An exception the filter leaves alone goes on. */
static inline int qrx_try_filtered(struct qrx_try* T, int Verdict)
{
  if (Verdict == EXCEPTION_EXECUTE_HANDLER)
    return 1;
  RaiseException(T->Record.ExceptionCode, T->Record.ExceptionFlags & EXCEPTION_NONCONTINUABLE,
                 T->Record.NumberParameters, T->Record.ExceptionInformation);
  return 0;
}

#undef GetExceptionInformation
#define GetExceptionInformation() (&qrx_try_.Pointers)
#define __try                                                                                       \
  for (struct qrx_try qrx_try_, *qrx_once_ = &qrx_try_; qrx_once_; qrx_once_ = NULL)               \
    if (__builtin_setjmp(qrx_try_.Jump) == 0 ? qrx_try_push(&qrx_try_) : qrx_try_pop(&qrx_try_)) \
      for (int qrx_body_ = 1; qrx_body_; qrx_body_ = qrx_try_pop(&qrx_try_))
#define __except(Filter) else if (qrx_try_filtered(&qrx_try_, (Filter)))

#endif
