console.log("probe");
