#pragma once
// The floating-point status flags (FE_INVALID, FE_DIVBYZERO, FE_OVERFLOW, FE_UNDERFLOW,
// FE_INEXACT), read and written through the SSE control/status register and the x87 status
// word directly. The C library's feclearexcept and fesetexceptflag store and reload the whole
// x87 environment, which costs more than many of the evaluations they guard; these take a few
// cycles. The x87 word is only cleared when it holds a flag (nothing here computes on the x87
// unit, but a library routine may).
#include <cfenv>

namespace kq5 {

#if defined(__x86_64__)

namespace fp_detail {

inline unsigned ReadCsr()
{
    unsigned csr;
    __asm__ volatile("stmxcsr %0" : "=m"(csr) : : "memory");
    return csr;
}

inline void WriteCsr(unsigned csr) { __asm__ volatile("ldmxcsr %0" : : "m"(csr) : "memory"); }

inline unsigned ReadX87Status()
{
    unsigned short status;
    __asm__ volatile("fnstsw %0" : "=am"(status) : : "memory");
    return status;
}

}  // namespace fp_detail

// The raised flags among mask.
inline int RaisedFpFlags(int mask)
{
    return static_cast<int>((fp_detail::ReadCsr() | fp_detail::ReadX87Status()) & static_cast<unsigned>(mask) &
                            FE_ALL_EXCEPT);
}

// Replaces every flag by the given ones (0 clears them all).
inline void SetFpFlags(int flags)
{
    if (fp_detail::ReadX87Status() & FE_ALL_EXCEPT) __asm__ volatile("fnclex" : : : "memory");
    const unsigned csr = fp_detail::ReadCsr();
    const unsigned wanted = (csr & ~static_cast<unsigned>(FE_ALL_EXCEPT)) | (static_cast<unsigned>(flags) & FE_ALL_EXCEPT);
    if (wanted != csr) fp_detail::WriteCsr(wanted);
}

#else

inline int RaisedFpFlags(int mask) { return std::fetestexcept(mask); }

inline void SetFpFlags(int flags)
{
    std::feclearexcept(FE_ALL_EXCEPT);
    if (flags & FE_ALL_EXCEPT) std::feraiseexcept(flags & FE_ALL_EXCEPT);
}

#endif

inline void ClearFpFlags() { SetFpFlags(0); }

}  // namespace kq5
