# Sourced by the end-to-end scripts. copy_shipped DIST TESTDATA RUN lays out RUN like the
# shipped folder DIST (programs and modules linked, src copied) with the test data set as
# its data, without a spectrum cache, so that the program writes one.
copy_shipped() {
    local dist=$1 testdata=$2 run=$3 file
    mkdir -p "$run"
    for file in "$dist"/*; do
        [ -f "$file" ] && { ln "$file" "$run/" 2>/dev/null || cp "$file" "$run/"; }
    done
    cp -r "$dist/src" "$run/src"
    cp -r "$testdata" "$run/data"
    rm -f "$run/data/fft.dat"
}
