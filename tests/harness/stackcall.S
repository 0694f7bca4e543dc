/* uint32_t kiv_call_counted(void* fn, const uint32_t* args, uint32_t count,
                              int32_t* removed)
   Pushes args[count-1] .. args[0], calls fn and reports in *removed how many
   bytes of arguments the callee took off the stack (0 for a caller-removes
   function, 4 per argument for a standard-convention one). The stack is
   put back as it was either way. */
    .text
    .globl _kiv_call_counted
_kiv_call_counted:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl %esp, %edi          /* stack before the arguments */
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  movl %esp, %ebx          /* stack with the arguments pushed */
    call *8(%ebp)
    movl %esp, %ecx
    subl %ebx, %ecx
    movl 20(%ebp), %edx
    movl %ecx, (%edx)
    movl %edi, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
