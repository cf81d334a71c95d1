module nimbro.invalid/e2e/pebble-front

go 1.26
