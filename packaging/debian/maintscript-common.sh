# Shared by the maintainer scripts (pasted in when the package is built).
# OPOS_MAINTSCRIPT_ROOT: the root the package's files lie under (empty: /); set by the
# package test, which unpacks the package into a temporary folder. Then the systemd and
# udev steps are left out: they would act on the machine.
# OPOS_MAINTSCRIPT_REGISTRY: the registry store (default /var/lib/opos/registry.sqlite).
opos_root=${OPOS_MAINTSCRIPT_ROOT:-}
opos_store=${OPOS_MAINTSCRIPT_REGISTRY:-/var/lib/opos/registry.sqlite}
opos_store_dir=$(dirname "$opos_store")
opos_reg="$opos_root@OPOS_PACKAGE_BINDIR@/oposreg"
opos_libraries="@OPOS_PACKAGE_LIBRARIES@"

# The service-object libraries of this package, as installed.
opos_library_paths() {
	for library in $opos_libraries; do
		printf '%s\n' "$opos_root@OPOS_PACKAGE_LIBDIR@/$library"
	done
}

# True on the real machine, false in the package test's temporary root.
opos_on_machine() {
	[ -z "$opos_root" ]
}
