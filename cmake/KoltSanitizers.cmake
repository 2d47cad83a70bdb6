# KOLT_SANITIZE: a comma-separated sanitizer list (e.g. "address,undefined" or "thread")
# applied to every target of the project.
if(KOLT_SANITIZE)
    set(_kolt_san_flags -fsanitize=${KOLT_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_compile_options(${_kolt_san_flags})
    add_link_options(-fsanitize=${KOLT_SANITIZE})
endif()
