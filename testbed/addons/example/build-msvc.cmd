@rem Builds Example.dll with Microsoft's compiler from an x86 developer command prompt, against the
@rem Corvane SDK this folder belongs to. Set CC=clang-cl to build with clang-cl instead.
@setlocal
@if "%CC%"=="" set CC=cl
%CC% /nologo /LD /O2 /EHsc /I..\include Example.cpp /link ..\lib\Corvane.lib /out:Example.dll
